#include "System/Utility/FileSystem.h"

#include "support/Process.h"
#include "support/TempDir.h"
#include "support/Text.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace System::Utility {
namespace {

using TestSupport::Text;
using Xml::XmlItem;
using Xml::XmlNode;

void WriteFile(const std::string& path, size_t size) {
    TestSupport::WriteFile(path, std::string(size, 'x'));
}

// One line per element below node, depth first: level, name and attributes in order.
void Dump(const XmlNode& node, unsigned int level, std::string& out) {
    for (unsigned int i = 0; i < node.GetNumChildren(); ++i) {
        const XmlNode& child = *node.GetChild(i);
        out += std::to_string(level) + " " + Text(child.mName);
        for (unsigned int k = 0; k < child.GetNumAttributes(); ++k) {
            out += " " + Text(child.GetAttribute(k)->mName) + "=" +
                   Text(child.GetAttribute(k)->mValue);
        }
        out += "\n";
        Dump(child, level + 1, out);
    }
}

TEST(FileSystem, CallsReportWhetherTheySucceeded) {
    TestSupport::TempDir dir;
    FileSystem fs;
    const std::string sub = dir.File("sub");
    EXPECT_TRUE(fs.CreateDir(sub.c_str()));
    EXPECT_FALSE(fs.CreateDir(sub.c_str()));
    EXPECT_FALSE(fs.CreateDir(dir.File("no/parent").c_str()));
    struct stat info {};
    ASSERT_EQ(stat(sub.c_str(), &info), 0);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0755 & ~mask);

    WriteFile(sub + "/f", 3);
    EXPECT_FALSE(fs.RemoveDir(sub.c_str()));
    EXPECT_TRUE(fs.MoveFile((sub + "/f").c_str(), dir.File("g").c_str()));
    EXPECT_FALSE(fs.MoveFile((sub + "/f").c_str(), dir.File("h").c_str()));
    EXPECT_TRUE(fs.RemoveDir(sub.c_str()));
    EXPECT_FALSE(fs.RemoveDir(sub.c_str()));
    EXPECT_TRUE(fs.RemoveFile(dir.File("g").c_str()));
    EXPECT_FALSE(fs.RemoveFile(dir.File("g").c_str()));
}

TEST(FileSystem, ImportListsTheTreeAsTheDirectoryReportsIt) {
    TestSupport::TempDir dir;
    const std::string root = dir.File("root");
    mkdir(root.c_str(), 0755);
    WriteFile(root + "/a.jpg", 10);
    WriteFile(root + "/b.jpg.txt", 0);
    WriteFile(root + "/c.JPG", 5);
    mkdir((root + "/sub").c_str(), 0755);
    WriteFile(root + "/sub/d.jpg", 1234);
    WriteFile(root + "/sub/e.png", 1);
    mkdir((root + "/sub/deeper").c_str(), 0755);
    WriteFile(root + "/sub/deeper/f.jpg", 7);
    mkdir((root + "/sub/deeper/deepest").c_str(), 0755);
    WriteFile(root + "/sub/deeper/deepest/g.jpg", 8);
    mkdir((root + "/nothing.jpg.d").c_str(), 0755);
    symlink((root + "/a.jpg").c_str(), (root + "/link.jpg").c_str());
    symlink((root + "/sub").c_str(), (root + "/linkdir").c_str());
    mkfifo((root + "/pipe.jpg").c_str(), 0644);

    XmlNode node;
    FileSystem().Import(node, root.c_str(), ".jpg", 2);
    EXPECT_EQ(Text(node.mName), "dir");
    EXPECT_EQ(node.GetNumAttributes(), 1u);
    EXPECT_EQ(Text(node.GetAttributeValue("path")), root);
    std::string ours;
    Dump(node, 0, ours);

    // Python's scandir reads the same directory order and entry types.
    auto result = TestSupport::RunPython(
        "import os, stat, sys\n"
        "def walk(path, depth, level, out):\n"
        "    dirs = []\n"
        "    for e in os.scandir(path):\n"
        "        if e.is_dir(follow_symlinks=False):\n"
        "            if e.name not in ('.', '..'):\n"
        "                out.append([level, 'dir path=%s/%s name=%s' % (path, e.name, e.name)])\n"
        "                dirs.append(len(out) - 1)\n"
        "        elif e.is_file(follow_symlinks=False) or "
        "stat.S_ISCHR(e.stat(follow_symlinks=False).st_mode):\n"
        "            if '.jpg' in e.name:\n"
        "                out.append([level, 'file name=%s size=%d' % (e.name, e.stat().st_size)])\n"
        "    if depth > 0:\n"
        "        for i in reversed(dirs):\n"
        "            sub = []\n"
        "            walk(out[i][1].split(' ')[1][5:], depth - 1, level + 1, sub)\n"
        "            out[i + 1:i + 1] = sub\n"
        "out = []\n"
        "walk(sys.stdin.read(), 2, 0, out)\n"
        "print(''.join('%d %s\\n' % (l, t) for l, t in out), end='')\n",
        root);
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_EQ(ours, result.output);
    EXPECT_NE(ours.find("1 file name=d.jpg size=1234\n"), std::string::npos);
    EXPECT_EQ(ours.find("name=g.jpg"), std::string::npos);
    EXPECT_EQ(ours.find("link"), std::string::npos);
}

TEST(FileSystem, ImportAppendsToWhatTheNodeHolds) {
    TestSupport::TempDir dir;
    WriteFile(dir.File("x"), 2);
    mkdir(dir.File("empty").c_str(), 0755);
    FileSystem fs;

    XmlNode empty;
    fs.Import(empty, dir.File("empty").c_str(), "", 0);
    EXPECT_EQ(Text(empty.ToString(false)), "<dir path=\"" + dir.File("empty") + "\" />");

    XmlNode twice;
    fs.Import(twice, dir.Path().c_str(), "", 0);
    fs.Import(twice, dir.Path().c_str(), "", 0);
    EXPECT_EQ(twice.GetNumAttributes(), 1u);
    EXPECT_EQ(twice.GetNumChildren(), 4u);

    // A missing directory adds nothing, but "dir" children already there are still listed.
    XmlNode fresh;
    XmlNode listed;
    listed.mName = "dir";
    listed.AddAttribute(XmlItem("path", dir.Path().c_str()));
    fresh.AddChild(listed);
    XmlNode unlisted;
    unlisted.mName = "dir";
    fresh.AddChild(unlisted);
    fs.Import(fresh, dir.File("missing").c_str(), "", 1);
    EXPECT_EQ(Text(fresh.mName), "");
    EXPECT_EQ(fresh.GetNumAttributes(), 0u);
    EXPECT_EQ(fresh.GetChild(0u)->GetNumChildren(), 2u);
    EXPECT_EQ(fresh.GetChild(1u)->GetNumChildren(), 0u);
}

}  // namespace
}  // namespace System::Utility
