#include "finderbus/finder_bus_client.h"

#include <algorithm>

namespace corvane::finderbus {

namespace {

constexpr char kTimedOut[] = "the extension did not answer in time";

/// A failed call as one readable line: the D-Bus error name and its text.
std::string describeCallError(const GError* error) {
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT))
        return kTimedOut;
    if (!g_dbus_error_is_remote_error(error))
        return error->message;
    GError* copy = g_error_copy(error);
    gchar* name = g_dbus_error_get_remote_error(copy);
    g_dbus_error_strip_remote_error(copy);
    const std::string_view remote = name != nullptr ? name : "";
    std::string text = remote == "org.freedesktop.DBus.Error.ServiceUnknown" ||
                               remote == "org.freedesktop.DBus.Error.NameHasNoOwner"
                           ? std::string("the extension is not running (no owner of ") + kBusName +
                                 " on the session bus)"
                           : std::string(remote) + ": " + copy->message;
    g_free(name);
    g_error_free(copy);
    return text;
}

void onActionReply(GObject* source, GAsyncResult* result, gpointer data) {
    char* selector = static_cast<char*>(data);
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    if (reply != nullptr) {
        g_variant_unref(reply);
    } else {
        g_warning("%s failed: %s", selector, error->message);
        g_error_free(error);
    }
    g_free(selector);
}

GDBusCallFlags callFlags(FinderBusClient::Activation activation) {
    return activation == FinderBusClient::Activation::Never ? G_DBUS_CALL_FLAGS_NO_AUTO_START
                                                            : G_DBUS_CALL_FLAGS_NONE;
}

} // namespace

/// The state of the back-off after a timeout, shared with the probe in
/// flight, which may outlive the client.
struct FinderBusClient::Probe {
    GCancellable* cancellable = g_cancellable_new();
    bool inFlight = false;
    void (*answering)(gpointer data) = nullptr;
    gpointer data = nullptr;
    ~Probe() { g_object_unref(cancellable); }

    static void onReply(GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<std::shared_ptr<Probe>> probe(static_cast<std::shared_ptr<Probe>*>(data));
        GError* error = nullptr;
        GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
        if (reply != nullptr)
            g_variant_unref(reply);
        // Cancelled: the client is gone, and so is whoever it would tell.
        const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
        if (error != nullptr)
            g_error_free(error);
        if (cancelled)
            return;
        (*probe)->inFlight = false;
        if (reply != nullptr && (*probe)->answering != nullptr)
            (*probe)->answering((*probe)->data);
    }
};

FinderBusClient::FinderBusClient(GDBusConnection* bus, int timeoutMs, Activation activation)
    : bus_(G_DBUS_CONNECTION(g_object_ref(bus))), timeoutMs_(timeoutMs), activation_(activation),
      probe_(std::make_shared<Probe>()) {}

FinderBusClient::~FinderBusClient() {
    g_cancellable_cancel(probe_->cancellable);
    g_object_unref(bus_);
}

void FinderBusClient::onAnsweringAgain(void (*answering)(gpointer data), gpointer data) {
    probe_->answering = answering;
    probe_->data = data;
}

Result<std::optional<Menu>> FinderBusClient::menu(unsigned kind, const RequestContext& context) {
    if (probe_->inFlight)
        return std::unexpected("the extension has not answered since a request timed out");
    Result<GVariant*> reply =
        call(kGetMenu, encodeMenuRequest({kind, context}), kMenuReplyType, timeoutMs_);
    if (!reply && reply.error() == kTimedOut) {
        probe_->inFlight = true;
        g_dbus_connection_call(bus_, kBusName, kObjectPath, kInterface, kGetMenu,
                               encodeMenuRequest({kind, context}), nullptr, callFlags(activation_),
                               G_MAXINT, probe_->cancellable, Probe::onReply,
                               new std::shared_ptr<Probe>(probe_));
    }
    if (!reply)
        return std::unexpected(reply.error());
    Result<std::optional<Menu>> menu = decodeMenuReply(*reply);
    g_variant_unref(*reply);
    return menu;
}

Result<void> FinderBusClient::perform(const std::string& selector, const RequestContext& context) {
    Result<GVariant*> request = encodeActionRequest({selector, context});
    if (!request)
        return std::unexpected(request.error());
    // No timeout: a batch rename may take long.
    Result<GVariant*> reply = call(kPerformAction, *request, "()", G_MAXINT);
    if (!reply)
        return std::unexpected(reply.error());
    g_variant_unref(*reply);
    return {};
}

void FinderBusClient::performLater(const std::string& selector, const RequestContext& context) {
    Result<GVariant*> request = encodeActionRequest({selector, context});
    if (!request) {
        g_warning("%s not sent: %s", selector.c_str(), request.error().c_str());
        return;
    }
    g_dbus_connection_call(bus_, kBusName, kObjectPath, kInterface, kPerformAction, *request,
                           G_VARIANT_TYPE_UNIT, callFlags(activation_), G_MAXINT, nullptr,
                           onActionReply, g_strdup(selector.c_str()));
}

Result<GVariant*> FinderBusClient::call(const char* method, GVariant* parameters,
                                        const char* replyType, int timeoutMs) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus_, kBusName, kObjectPath, kInterface, method, parameters, G_VARIANT_TYPE(replyType),
        callFlags(activation_), timeoutMs, nullptr, &error);
    if (reply == nullptr) {
        std::string reason = describeCallError(error);
        g_error_free(error);
        return std::unexpected(std::move(reason));
    }
    return reply;
}

std::string itemName(unsigned menuKind, std::string_view selector,
                     const std::vector<std::string>& taken) {
    std::string name = menuKind == kMenuKindItems ? "CorvaneFinderSync::selection-"
                                                  : "CorvaneFinderSync::background-";
    // Letters and digits only: the name becomes part of an action name.
    if (selector.empty())
        name += "status";
    for (char c : selector) {
        if (g_ascii_isalnum(c))
            name += c;
    }
    const std::string base = name;
    for (int n = 2; std::ranges::find(taken, name) != taken.end(); ++n)
        name = base + "-" + std::to_string(n);
    return name;
}

MenuWatch::MenuWatch(GDBusConnection* bus, void (*changed)(gpointer data), gpointer data)
    : bus_(G_DBUS_CONNECTION(g_object_ref(bus))), changed_(changed), data_(data) {
    // The owner of the name changes when the process starts or ends.
    ownerChanged_ = g_dbus_connection_signal_subscribe(
        bus_, "org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged",
        "/org/freedesktop/DBus", kBusName, G_DBUS_SIGNAL_FLAGS_NONE, onSignal, this, nullptr);
    menuChanged_ = g_dbus_connection_signal_subscribe(
        bus_, nullptr, kInterface, kMenuChanged, kObjectPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        onSignal, this, nullptr);
}

MenuWatch::~MenuWatch() {
    g_dbus_connection_signal_unsubscribe(bus_, ownerChanged_);
    g_dbus_connection_signal_unsubscribe(bus_, menuChanged_);
    g_object_unref(bus_);
}

void MenuWatch::onSignal(GDBusConnection*, const char*, const char*, const char*, const char*,
                         GVariant*, gpointer watch) {
    auto* self = static_cast<MenuWatch*>(watch);
    self->changed_(self->data_);
}

} // namespace corvane::finderbus
