#pragma once

#include "System/Utility/FailPoint.h"

#include <stdlib.h>

#include <string>

namespace TestSupport {

// Names the step that fails (System::Utility::FailPoint) in the programs started while it
// lives: "name", or "name:pass" for a later pass than the first.
class ArmedFailPoint {
  public:
    explicit ArmedFailPoint(const std::string& step) {
        setenv(System::Utility::FailPoint::kVariable, step.c_str(), 1);
    }
    ~ArmedFailPoint() { unsetenv(System::Utility::FailPoint::kVariable); }
    ArmedFailPoint(const ArmedFailPoint&) = delete;
    ArmedFailPoint& operator=(const ArmedFailPoint&) = delete;
};

}  // namespace TestSupport
