#include "ZelvoRelay/MVC/Commands/RemoveMediaItemCommand.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "ZelvoRelay/MVC/Events/RemoveMediaItemEvent.h"
#include "support/RelayTestServer.h"
#include "support/TempDir.h"

namespace {

using ZelvoRelay::MVC::Events::RemoveMediaItemEvent;

// The names of the files left in dir.
std::set<std::string> FilesIn(const TestSupport::TempDir& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// A catalogue under a media folder of its own; the relay server never hosts.
class RemoveMediaItemCommandTest : public ::testing::Test {
  protected:
    RemoveMediaItemCommandTest() {
        mModel->Configuration.MediaPath = System::String((mDir.Path() + "/").c_str());
    }
    void AddItem(uint32_t id) {
        ZelvoRelay::MVC::Model::MediaModel item;
        item.mMediaId = id;
        mModel->Media.Add(item);
    }
    void Remove(uint32_t id) {
        RemoveMediaItemEvent event(id);
        ZelvoRelay::MVC::Commands::RemoveMediaItemCommand().Execute(&event);
    }
    // What a save that no longer lists the removed items does next.
    void DeleteRemovedFiles() {
        const std::vector<uint32_t> removed = mModel->Media.RemovedIds();
        EXPECT_TRUE(mModel->DeleteRemovedFiles(removed));
        mModel->Media.ForgetRemoved(removed);
    }

    TestSupport::RelayTestServer mServer;
    ZelvoRelay::MVC::Model::ZelvoRelayModel* mModel{
        ZelvoRelay::MVC::Model::ZelvoRelayModel::Instance()};
    TestSupport::TempDir mDir;
};

TEST_F(RemoveMediaItemCommandTest, TheLastIdRemovesEveryItemWithItsTwoFilesAndNothingElse) {
    // Files are named by the ids as signed numbers; item 7 has lost its preview.
    for (const char* name : {"1_0", "1_1", "7_0", "-2147483648_0", "-2147483648_1", "-2_0", "-2_1",
                             "1_2", "3_0", "3_1", "-1_0", "-1_1"}) {
        TestSupport::WriteFile(mDir.File(name), name);
    }
    for (uint32_t id : {7u, 0xFFFFFFFEu, 1u, 0x80000000u}) {
        AddItem(id);
    }

    Remove(RemoveMediaItemEvent::AllItems);
    EXPECT_EQ(mModel->Media.Count(), 0u);
    EXPECT_EQ(mModel->Media.First(), nullptr);
    EXPECT_EQ(mModel->Media.FindMedia(1), nullptr);
    // The files stay until the catalogue is saved without them.
    EXPECT_EQ(FilesIn(mDir).size(), 12u);
    DeleteRemovedFiles();
    // A third resource, an id not in the catalogue and the files the last id itself
    // would name are not the catalogue's items' photos and previews.
    EXPECT_EQ(FilesIn(mDir), (std::set<std::string>{"1_2", "3_0", "3_1", "-1_0", "-1_1"}));

    // On an empty catalogue there is nothing to remove.
    Remove(RemoveMediaItemEvent::AllItems);
    DeleteRemovedFiles();
    EXPECT_EQ(FilesIn(mDir).size(), 5u);

    // The catalogue takes items again.
    AddItem(3);
    Remove(3);
    EXPECT_EQ(mModel->Media.Count(), 0u);
    DeleteRemovedFiles();
    EXPECT_EQ(FilesIn(mDir), (std::set<std::string>{"1_2", "-1_0", "-1_1"}));
}

}  // namespace
