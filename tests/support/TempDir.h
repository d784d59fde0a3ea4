#pragma once

#include <fstream>
#include <sstream>
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

// Replaces the file at path with exactly these bytes.
inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The whole content of the file at path; empty when it cannot be read.
inline std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

}  // namespace TestSupport
