#include "tools/finder/finder_client.h"

#include <gio/gio.h>
#include <giomm/init.h>

namespace corvane::tools::finder {

namespace {

// The extension answers from its main loop at once; anything slower means it is stuck.
constexpr int kCallTimeoutMs = 5000;

/// A failed call as one readable line: the D-Bus error name and its text.
std::string describeCallError(const Glib::Error& error) {
    const GError* raw = error.gobj();
    if (g_dbus_error_is_remote_error(raw)) {
        GError* copy = g_error_copy(raw);
        gchar* name = g_dbus_error_get_remote_error(copy);
        g_dbus_error_strip_remote_error(copy);
        std::string text = std::string(name ? name : "") + ": " + copy->message;
        const bool unreachable =
            name && (std::string_view(name) == "org.freedesktop.DBus.Error.ServiceUnknown" ||
                     std::string_view(name) == "org.freedesktop.DBus.Error.NameHasNoOwner");
        g_free(name);
        g_error_free(copy);
        if (unreachable)
            return std::string("the extension is not running (no owner of ") + finderbus::kBusName +
                   " on the session bus)";
        return text;
    }
    if (g_error_matches(raw, G_IO_ERROR, G_IO_ERROR_TIMED_OUT))
        return "the extension did not answer in time";
    return error.what();
}

} // namespace

Outcome<FinderClient> FinderClient::connect() {
    Gio::init();
    try {
        return FinderClient(Gio::DBus::Connection::get_sync(Gio::DBus::BusType::SESSION));
    } catch (const Glib::Error& e) {
        return failure(std::string("cannot reach the session bus: ") + e.what());
    }
}

FinderClient::~FinderClient() {
    if (!connection_)
        return;
    try {
        connection_->flush_sync();
    } catch (const Glib::Error&) {
        // Nothing left to deliver to a bus that is gone.
    }
}

Outcome<std::optional<Menu>> FinderClient::menu(unsigned kind,
                                                const finderbus::RequestContext& context) {
    auto reply = call(finderbus::kGetMenu, finderbus::encodeMenuRequest({kind, context}));
    if (!reply)
        return propagate(reply);
    Expected<std::optional<Menu>> menu = finderbus::decodeMenuReply(*reply);
    if (!menu)
        return failure("unexpected reply: " + menu.error().description);
    return std::move(*menu);
}

Outcome<> FinderClient::perform(const std::string& selector,
                                const finderbus::RequestContext& context) {
    Expected<Glib::VariantContainerBase> request =
        finderbus::encodeActionRequest({selector, context});
    if (!request)
        return failure(request.error().description);
    auto reply = call(finderbus::kPerformAction, *request);
    if (!reply)
        return propagate(reply);
    return {};
}

Outcome<Glib::VariantContainerBase>
FinderClient::call(const char* method, const Glib::VariantContainerBase& parameters) {
    try {
        return connection_->call_sync(finderbus::kObjectPath, finderbus::kInterface, method,
                                      parameters, finderbus::kBusName, kCallTimeoutMs,
                                      Gio::DBus::CallFlags::NO_AUTO_START);
    } catch (const Glib::Error& e) {
        return failure(describeCallError(e));
    }
}

} // namespace corvane::tools::finder
