#pragma once

#include <string>

namespace TestSupport {

// A fresh directory under the system's temporary folder, removed with everything
// in it when the object goes out of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return mPath; }
    // The path of a name inside the directory.
    std::string File(const std::string& name) const { return mPath + "/" + name; }

private:
    std::string mPath;
};

}  // namespace TestSupport
