#pragma once

#include <expected>
#include <string>
#include <system_error>

namespace corvane {

/// A failure reported by a platform service, carried as a value. `description`
/// is the readable text that logs and alerts show; `code` says what kind of
/// failure it is where a system error applies (a name already taken, a
/// missing item), else it is `std::errc{}`.
struct Error {
    std::string description;
    std::errc code{};
};

/// A value or the reason there is none. Marked [[nodiscard]], unlike GCC 12's
/// std::expected, so that a dropped failure is a compiler warning.
template <typename T> class [[nodiscard]] Expected : public std::expected<T, Error> {
  public:
    using std::expected<T, Error>::expected;
    Expected(const std::expected<T, Error>& other) : std::expected<T, Error>(other) {}
    Expected(std::expected<T, Error>&& other) : std::expected<T, Error>(std::move(other)) {}
};

inline std::unexpected<Error> makeError(std::string description, std::errc code = {}) {
    return std::unexpected<Error>(Error{std::move(description), code});
}

} // namespace corvane
