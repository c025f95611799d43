#include "tests/integration/fake_bus_service.h"

#include "tests/integration/process_harness.h"

#include <gio/gio.h>

#include <stdexcept>

namespace corvane::testing {

namespace {

/// Runs on GDBus's worker thread: records and answers the calls, lets
/// everything else through.
GDBusMessage* answerCalls(GDBusConnection* connection, GDBusMessage* message, gboolean incoming,
                          gpointer data) {
    if (!incoming || g_dbus_message_get_message_type(message) != G_DBUS_MESSAGE_TYPE_METHOD_CALL)
        return message;
    GVariant* body = g_dbus_message_get_body(message);
    g_autofree gchar* arguments = body != nullptr ? g_variant_print(body, FALSE) : g_strdup("()");
    auto& calls = **static_cast<std::shared_ptr<FakeBusService::Calls>*>(data);
    {
        std::lock_guard lock(calls.mutex);
        calls.list.push_back(g_dbus_message_get_member(message) + std::string(arguments));
    }
    g_autoptr(GDBusMessage) reply = g_dbus_message_new_method_reply(message);
    g_dbus_message_set_body(reply, g_variant_new("(u)", 1u));
    g_dbus_connection_send_message(connection, reply, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr,
                                   nullptr);
    g_object_unref(message);
    return nullptr;
}

} // namespace

FakeBusService::FakeBusService(const std::string& busAddress, const std::string& name) {
    g_autoptr(GError) error = nullptr;
    connection_ = g_dbus_connection_new_for_address_sync(
        busAddress.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (connection_ == nullptr)
        throw std::runtime_error("cannot connect to " + busAddress + ": " + error->message);
    // The filter keeps the calls alive as long as GDBus may still run it.
    g_dbus_connection_add_filter(
        connection_, answerCalls, new std::shared_ptr<Calls>(calls_),
        [](gpointer data) { delete static_cast<std::shared_ptr<Calls>*>(data); });
    g_autoptr(GVariant) owned = g_dbus_connection_call_sync(
        connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "RequestName", g_variant_new("(su)", name.c_str(), 4u /* DO_NOT_QUEUE */),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
    guint32 result = 0;
    if (owned != nullptr)
        g_variant_get(owned, "(u)", &result);
    if (result != 1 /* PRIMARY_OWNER */) {
        g_object_unref(connection_);
        throw std::runtime_error("cannot own " + name + ": " +
                                 (error != nullptr ? error->message : "the name is taken"));
    }
}

FakeBusService::~FakeBusService() {
    g_dbus_connection_close_sync(connection_, nullptr, nullptr);
    g_object_unref(connection_);
}

std::vector<std::string> FakeBusService::waitForCalls(std::size_t count) const {
    auto arrived = [&] {
        std::lock_guard lock(calls_->mutex);
        return calls_->list.size() >= count;
    };
    waitUntil(arrived);
    std::lock_guard lock(calls_->mutex);
    return calls_->list;
}

} // namespace corvane::testing
