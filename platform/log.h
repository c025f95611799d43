#pragma once

#include <ostream>
#include <string_view>

namespace corvane {

/// Writes one log line and flushes it, so a reader of the stream sees each
/// line as soon as it is written.
inline void logLine(std::ostream& out, std::string_view line) {
    out << line << '\n';
    out.flush();
}

} // namespace corvane
