#pragma once

#include "platform/linux/finder_bus_protocol.h"
#include "tools/command_line.h"

#include <giomm/dbusconnection.h>

#include <optional>
#include <string>

namespace corvane::tools::finder {

/// The file manager's end of the extension's D-Bus interface. Calls do not
/// start the extension; one that finds no owner of the name, an error reply
/// or no answer within five seconds is a failure with a readable message.
class FinderClient {
  public:
    /// Connects to the session bus; a failure when there is none.
    static Outcome<FinderClient> connect();

    FinderClient(FinderClient&&) = default;
    FinderClient& operator=(FinderClient&&) = default;
    /// Flushes the connection, so nothing sent is lost at exit.
    ~FinderClient();

    /// The extension's menu of `kind` for `context`; none when it shows none.
    Outcome<std::optional<Menu>> menu(unsigned kind, const finderbus::RequestContext& context);
    /// Delivers the action `selector` with `context`.
    Outcome<> perform(const std::string& selector, const finderbus::RequestContext& context);

  private:
    explicit FinderClient(Glib::RefPtr<Gio::DBus::Connection> connection)
        : connection_(std::move(connection)) {}
    Outcome<Glib::VariantContainerBase> call(const char* method,
                                             const Glib::VariantContainerBase& parameters);

    Glib::RefPtr<Gio::DBus::Connection> connection_;
};

} // namespace corvane::tools::finder
