#pragma once

#include <cstdint>

#include "System/Collections/ICompare.h"
#include "System/Collections/RedBlackTreeNode.h"
#include "ZelvoRelay/MVC/Model/MediaModel.h"

namespace ZelvoRelay::Collections {

// Steers a search of the catalogue's tree towards where a listing from a target id begins.
// Ids are compared as unsigned numbers: a signed difference would send a search for a target
// 2^31 or more away from the ids (say 0xFFFFFFFE) to the wrong end of the catalogue.
class MediaItemCompare : public System::Collections::ICompare<
                             System::Collections::RedBlackTreeNode<MVC::Model::MediaModel>*> {
  public:
    explicit MediaItemCompare(uint32_t targetId) : mTargetId(targetId) {}

    // 0 to stop at node: it holds the target, or the target lies strictly between it and its
    // in-order neighbour towards the target, or it has no such neighbour. Otherwise positive
    // when node's id is greater than the target (go left) and negative when smaller (go
    // right).
    int Compare(System::Collections::RedBlackTreeNode<MVC::Model::MediaModel>* node) const override;

  private:
    uint32_t mTargetId;  // the id at which the listing should start
};

}  // namespace ZelvoRelay::Collections
