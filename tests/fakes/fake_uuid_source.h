#pragma once

#include "platform/uuid.h"

#include <cstdio>

namespace corvane::fakes {

/// "00000000-0000-0000-0000-00000000000N", counting up.
struct FakeUUIDSource final : UUIDSource {
    std::string makeUUIDString() override {
        char buffer[37];
        std::snprintf(buffer, sizeof buffer, "00000000-0000-0000-0000-%012X", ++made);
        return buffer;
    }
    int made = 0;
};

} // namespace corvane::fakes
