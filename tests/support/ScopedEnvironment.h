#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace TestSupport {

// Sets an environment variable for as long as it lives, so that the processes a test starts
// meanwhile inherit it; what it was before is put back after.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const std::string& name, const std::string& value) : mName(name) {
        if (const char* old = std::getenv(name.c_str())) {
            mOld = old;
        }
        setenv(name.c_str(), value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (mOld) {
            setenv(mName.c_str(), mOld->c_str(), 1);
        } else {
            unsetenv(mName.c_str());
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    std::string mName;
    std::optional<std::string> mOld;
};

}  // namespace TestSupport
