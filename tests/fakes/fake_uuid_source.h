#pragma once

#include "platform/uuid.h"

#include <string>

namespace corvane::fakes {

/// "00000000-0000-0000-0000-00000000000N", counting up from 1 (N below 10).
struct FakeUUIDSource final : UUIDSource {
    std::string makeUUIDString() override {
        return "00000000-0000-0000-0000-00000000000" + std::to_string(++made);
    }
    int made = 0;
};

} // namespace corvane::fakes
