#pragma once

namespace System::Utility {

// Named steps where a test can make the server meet a failed allocation, to see that the
// failure ends the work at hand and nothing more. The environment variable
// ZELVO_FAIL_POINT names one step, and after a colon the pass of it that fails (the first
// when left out): "name" or "name:3". Only that pass fails; every other pass, and every
// step of a process started without the variable, costs one load.
//
// Any thread.
class FailPoint {
  public:
    // The environment variable read once, at the first check.
    static constexpr const char* kVariable = "ZELVO_FAIL_POINT";

    FailPoint() = delete;

    // Throws std::bad_alloc on the pass of step name that the environment names.
    static void Check(const char* name) {
        if (Armed()) {
            CheckNamed(name);
        }
    }

  private:
    // Whether the environment names a step; read at the first call.
    static bool Armed();
    static void CheckNamed(const char* name);
};

}  // namespace System::Utility
