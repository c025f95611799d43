#pragma once

#include <string>

namespace corvane::testing {

/// Names each instance of a typed suite after its traits class's `kName`.
struct ImplementationName {
    template <class Traits> static std::string GetName(int) { return Traits::kName; }
};

} // namespace corvane::testing
