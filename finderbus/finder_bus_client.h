#pragma once

// The file manager's end of the interface: what corvane-finder and every
// file manager's module use to ask for menus and deliver chosen actions.

#include "finderbus/finder_bus.h"

#include <memory>

namespace corvane::finderbus {

/// Asks the extension process for menus and delivers actions over one bus
/// connection. One thread uses it.
///
/// A stuck extension costs the caller one timeout, not one per menu: after a
/// menu request times out, `menu` fails at once while the same request, sent
/// again without a timeout, probes the process. Its reply (any reply, an
/// error included) ends that. The probe is a menu request and not a Ping
/// because GDBus answers Ping from its own thread even while the extension's
/// main loop is stuck. The reply arrives on the thread-default main context
/// of the thread that asked for the menu.
class FinderBusClient {
  public:
    /// Whether a call may start the extension by D-Bus activation.
    enum class Activation { Allowed, Never };

    /// Calls over `bus` (a reference is taken), waiting at most `timeoutMs`
    /// for a menu.
    FinderBusClient(GDBusConnection* bus, int timeoutMs, Activation activation);
    ~FinderBusClient();
    FinderBusClient(const FinderBusClient&) = delete;
    FinderBusClient& operator=(const FinderBusClient&) = delete;

    /// Has `answering(data)` called when a probe finds the extension
    /// answering again, so a file manager that keeps its items can ask again.
    void onAnsweringAgain(void (*answering)(gpointer data), gpointer data);

    /// The extension's menu of `kind` for `context`; none when it shows none.
    /// Fails with a readable reason when there is no answer in time, no
    /// process owns the name, the extension answers with an error, or an
    /// earlier request timed out and no probe has been answered since.
    Result<std::optional<Menu>> menu(unsigned kind, const RequestContext& context);
    /// Delivers `selector` with `context` and waits until it has run.
    Result<void> perform(const std::string& selector, const RequestContext& context);
    /// Delivers `selector` with `context` without waiting: an action may run
    /// long. A failure is logged (a GLib warning) when the reply comes, on the
    /// caller's thread-default main context.
    void performLater(const std::string& selector, const RequestContext& context);

  private:
    Result<GVariant*> call(const char* method, GVariant* parameters, const char* replyType,
                           int timeoutMs);

    struct Probe;

    GDBusConnection* bus_;
    int timeoutMs_;
    Activation activation_;
    /// Shared with the probe in flight, which may outlive the client.
    std::shared_ptr<Probe> probe_;
};

/// The name of a menu entry's item in a file manager. File managers keep
/// the items of a selection's menu and of the background's at once, and some
/// (GNOME Files) register each item's action under its name in one group per
/// window: the name tells the two menus apart, and a command keeps its name
/// from one request to the next. `taken` holds the names already given in
/// this menu.
std::string itemName(unsigned menuKind, std::string_view selector,
                     const std::vector<std::string>& taken);

/// Calls `changed(data)` on the caller's thread-default main context whenever
/// the extension's menu may have changed: its process started or ended, or
/// it signalled MenuChanged. Stops when destroyed.
class MenuWatch {
  public:
    MenuWatch(GDBusConnection* bus, void (*changed)(gpointer data), gpointer data);
    ~MenuWatch();
    MenuWatch(const MenuWatch&) = delete;
    MenuWatch& operator=(const MenuWatch&) = delete;

  private:
    static void onSignal(GDBusConnection*, const char*, const char*, const char*, const char*,
                         GVariant*, gpointer watch);

    GDBusConnection* bus_;
    void (*changed_)(gpointer data);
    gpointer data_;
    guint ownerChanged_ = 0;
    guint menuChanged_ = 0;
};

} // namespace corvane::finderbus
