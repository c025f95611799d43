#pragma once

#include <expected>
#include <string>

namespace corvane {

/// A failure reported by a platform service, carried as a value. `description`
/// is the readable text that logs and alerts show; `code` is the errno value
/// where one applies, else 0.
struct Error {
    std::string description;
    int code = 0;
};

template <typename T> using Expected = std::expected<T, Error>;

inline std::unexpected<Error> makeError(std::string description, int code = 0) {
    return std::unexpected<Error>(Error{std::move(description), code});
}

} // namespace corvane
