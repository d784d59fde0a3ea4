#include "System/Utility/FileSystem.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace System::Utility {

namespace {

// Closes the directory stream when the listing ends.
struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

enum class EntryKind { File, Directory, Other };

EntryKind KindOf(const dirent& entry, const String& fullPath) {
    switch (entry.d_type) {
        case DT_DIR:
            return EntryKind::Directory;
        case DT_REG:
        case DT_CHR:
            return EntryKind::File;
        case DT_UNKNOWN: {
            // The directory does not say: look behind the name, following links.
            struct stat info {};
            if (stat(fullPath.CStr(), &info) != 0) {
                return EntryKind::Other;
            }
            if (S_ISREG(info.st_mode)) {
                return EntryKind::File;
            }
            return S_ISDIR(info.st_mode) ? EntryKind::Directory : EntryKind::Other;
        }
        default:
            return EntryKind::Other;
    }
}

Xml::XmlNode Element(const char* name, const Xml::XmlItem& first, const Xml::XmlItem& second) {
    Xml::XmlNode node;
    node.mName = name;
    node.AddAttribute(first);
    node.AddAttribute(second);
    return node;
}

}  // namespace

bool FileSystem::CreateDir(const String& path) const {
    return mkdir(path.CStr(), 0755) == 0;
}

bool FileSystem::RemoveDir(const String& path) const {
    return rmdir(path.CStr()) == 0;
}

bool FileSystem::RemoveFile(const String& path) const {
    return unlink(path.CStr()) == 0;
}

bool FileSystem::MoveFile(const String& from, const String& to, String* error) const {
    if (std::rename(from.CStr(), to.CStr()) == 0) {
        return true;
    }
    if (error != nullptr) {
        *error = std::strerror(errno);
    }
    return false;
}

bool FileSystem::Exists(const String& path) const {
    struct stat info {};
    return lstat(path.CStr(), &info) == 0;
}

bool FileSystem::CopyMode(const String& from, const String& to) const {
    struct stat info {};
    return stat(from.CStr(), &info) == 0 && chmod(to.CStr(), info.st_mode & 07777) == 0;
}

String FileSystem::FollowLinks(const String& path) const {
    std::string current(path.CStr());
    // The limit the kernel puts on links followed in one lookup; a loop ends there too.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            break;
        }
        std::string target(static_cast<size_t>(PATH_MAX), '\0');
        const ssize_t length = readlink(current.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<size_t>(length) >= target.size()) {
            break;
        }
        target.resize(static_cast<size_t>(length));
        // A relative target is relative to the directory that holds the link.
        const size_t slash = current.rfind('/');
        current = target[0] == '/' || slash == std::string::npos
                      ? target
                      : current.substr(0, slash + 1) + target;
    }
    return String(current.data(), static_cast<uint32_t>(current.size()));
}

void FileSystem::Import(Xml::XmlNode& node, const String& path, const String& filter,
                        unsigned int depth) const {
    std::unique_ptr<DIR, DirCloser> dir(opendir(path.CStr()));
    if (dir) {
        node.mName = "dir";
        if (node.GetAttribute("path") == nullptr) {
            node.AddAttribute(Xml::XmlItem("path", path));
        }
        while (const dirent* entry = readdir(dir.get())) {
            const String name(entry->d_name);
            const String fullPath = path + "/" + name;
            switch (KindOf(*entry, fullPath)) {
                case EntryKind::Directory:
                    if (name != "." && name != "..") {
                        node.AddChild(Element("dir", Xml::XmlItem("path", fullPath),
                                              Xml::XmlItem("name", name)));
                    }
                    break;
                case EntryKind::File: {
                    if (filter.Length() > 0 && name.IndexOf(filter) < 0) {
                        break;
                    }
                    // Sizes are written in 64 bits, so files of 2 GiB and more list truly.
                    struct stat info {};
                    const long long size = stat(fullPath.CStr(), &info) == 0
                                               ? static_cast<long long>(info.st_size)
                                               : 0;
                    node.AddChild(Element("file", Xml::XmlItem("name", name),
                                          Xml::XmlItem("size", String::Parse("%lld", size))));
                    break;
                }
                case EntryKind::Other:
                    break;
            }
        }
    }
    if (depth == 0) {
        return;
    }
    for (unsigned int i = 0; i < node.GetNumChildren(); ++i) {
        Xml::XmlNode& child = *node.GetChild(i);
        const Xml::XmlItem* childPath = child.GetAttribute("path");
        if (child.mName == "dir" && childPath != nullptr) {
            // Listing the child adds to its own children only, so this node's stay in place.
            const String subPath = childPath->mValue;
            Import(child, subPath, filter, depth - 1);
        }
    }
}

}  // namespace System::Utility
