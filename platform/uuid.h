#pragma once

#include <string>

namespace corvane {

/// Makes record identifiers.
class UUIDSource {
  public:
    virtual ~UUIDSource() = default;
    /// A fresh random UUID in upper-case 8-4-4-4-12 form.
    virtual std::string makeUUIDString() = 0;
};

} // namespace corvane
