#pragma once

#include <string>
#include <vector>

namespace corvane {

/// How an alert presents itself.
enum class AlertStyle {
    Warning,
    Informational,
    Critical,
};

/// What an alert says. Texts are UTF-8 where they can be, but may carry the
/// bytes of a file name that is not.
struct Alert {
    std::string messageText;
    std::string informativeText;
    AlertStyle style = AlertStyle::Warning;
    /// The button titles, first one the default.
    std::vector<std::string> buttonTitles;
    bool operator==(const Alert&) const = default;
};

/// Shows alerts to the user.
class AlertPresenter {
  public:
    virtual ~AlertPresenter() = default;
    /// Shows `alert` and returns once it has been handed to the user.
    virtual void runModal(const Alert& alert) = 0;
};

} // namespace corvane
