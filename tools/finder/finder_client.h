#pragma once

#include "finderbus/finder_bus_client.h"
#include "tools/command_line.h"

#include <memory>
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
    Outcome<std::optional<finderbus::Menu>> menu(unsigned kind,
                                                 const finderbus::RequestContext& context);
    /// Delivers the action `selector` with `context`.
    Outcome<> perform(const std::string& selector, const finderbus::RequestContext& context);

  private:
    explicit FinderClient(GDBusConnection* bus);

    std::unique_ptr<GDBusConnection, void (*)(gpointer)> bus_;
    std::unique_ptr<finderbus::FinderBusClient> client_;
};

} // namespace corvane::tools::finder
