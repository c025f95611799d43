#pragma once

#include "platform/uuid.h"

namespace corvane {

/// Random (version 4) UUIDs from libuuid, in upper-case 8-4-4-4-12 form.
class LibuuidSource : public UUIDSource {
  public:
    std::string makeUUIDString() override;
};

} // namespace corvane
