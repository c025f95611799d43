#pragma once

#include "platform/alert.h"

#include <glibmm/refptr.h>

#include <iosfwd>

namespace Gio::DBus {
class Connection;
}

namespace corvane {

/// Alerts as desktop notifications.
///
/// An alert is `org.freedesktop.Notifications.Notify` on the session bus
/// (summary: the message text; body: the informative text; the buttons as
/// actions; critical urgency, never expiring) when a notification server
/// owns that name. Otherwise, or when the call fails, it is one line on the
/// error stream: the message text, ": " and the informative text. Texts go
/// to the bus with stray bytes replaced by U+FFFD, and to the stream as they
/// are, with line feeds shown as "\n" to keep the line whole.
class FreedesktopAlert final : public AlertPresenter {
  public:
    /// `connection` may be null: every alert goes to `errorStream` then.
    FreedesktopAlert(Glib::RefPtr<Gio::DBus::Connection> connection, std::ostream& errorStream);
    ~FreedesktopAlert() override;

    /// Waits for the server's answer, at most a few seconds.
    void runModal(const Alert& alert) override;

  private:
    Glib::RefPtr<Gio::DBus::Connection> connection_;
    std::ostream& errorStream_;
};

} // namespace corvane
