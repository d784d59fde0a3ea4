#include "ZelvoRelay/Collections/MediaItemCompare.h"

#include "ZelvoRelay/Collections/MediaTree.h"

namespace ZelvoRelay::Collections {

int MediaItemCompare::Compare(
    System::Collections::RedBlackTreeNode<MVC::Model::MediaModel>* node) const {
    using Tree = MediaTree<MVC::Model::MediaModel>;
    const uint32_t id = node->mValue.mMediaId;
    if (id == mTargetId) {
        return 0;
    }
    const bool above = id > mTargetId;
    const auto* neighbour = above ? Tree::Previous(node) : Tree::Next(node);
    if (neighbour == nullptr) {
        return 0;
    }
    const uint32_t next = neighbour->mValue.mMediaId;
    if (above ? next < mTargetId : next > mTargetId) {
        return 0;
    }
    return above ? 1 : -1;
}

}  // namespace ZelvoRelay::Collections
