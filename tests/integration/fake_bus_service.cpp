#include "tests/integration/fake_bus_service.h"

#include <gio/gio.h>

#include <stdexcept>

namespace corvane::testing {

struct FakeBusService::State {
    Definition definition;
    std::string address;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Call> calls;
    bool ready = false;
    std::string failure;
    GMainContext* context = nullptr;
    GMainLoop* loop = nullptr;
};

namespace {

void collectStrings(GVariant* value, std::vector<std::string>& out) {
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
        out.emplace_back(g_variant_get_string(value, nullptr));
    } else if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING_ARRAY)) {
        for (gsize i = 0; i < g_variant_n_children(value); ++i) {
            GVariant* child = g_variant_get_child_value(value, i);
            out.emplace_back(g_variant_get_string(child, nullptr));
            g_variant_unref(child);
        }
    }
}

void onMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                  GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    auto* state = static_cast<FakeBusService::State*>(data);
    FakeBusService::Call call{method, {}, {}};
    for (gsize i = 0; i < g_variant_n_children(parameters); ++i) {
        GVariant* child = g_variant_get_child_value(parameters, i);
        collectStrings(child, call.strings);
        g_variant_unref(child);
    }
    gchar* text = g_variant_print(parameters, FALSE);
    call.text = text;
    g_free(text);
    g_dbus_method_invocation_return_value(invocation,
                                          g_variant_new_parsed(state->definition.reply.c_str()));
    std::lock_guard lock(state->mutex);
    state->calls.push_back(std::move(call));
    state->changed.notify_all();
}

const GDBusInterfaceVTable kVTable = {onMethodCall, nullptr, nullptr, {}};

void serve(std::shared_ptr<FakeBusService::State> state) {
    auto fail = [&](std::string why) {
        std::lock_guard lock(state->mutex);
        state->failure = std::move(why);
        state->changed.notify_all();
    };
    g_main_context_push_thread_default(state->context);
    GError* error = nullptr;
    GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
        state->address.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    GDBusNodeInfo* node =
        connection
            ? g_dbus_node_info_new_for_xml(state->definition.introspectionXml.c_str(), &error)
            : nullptr;
    guint registration = node ? g_dbus_connection_register_object(
                                    connection, state->definition.objectPath.c_str(),
                                    node->interfaces[0], &kVTable, state.get(), nullptr, &error)
                              : 0;
    GVariant* owned =
        registration ? g_dbus_connection_call_sync(
                           connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "RequestName",
                           g_variant_new("(su)", state->definition.busName.c_str(), 4u),
                           G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error)
                     : nullptr;
    if (owned) {
        g_variant_unref(owned);
        {
            std::lock_guard lock(state->mutex);
            state->ready = true;
            state->changed.notify_all();
        }
        g_main_loop_run(state->loop);
    } else {
        fail(error ? error->message : "cannot serve");
    }
    if (error)
        g_error_free(error);
    if (registration)
        g_dbus_connection_unregister_object(connection, registration);
    if (node)
        g_dbus_node_info_unref(node);
    if (connection) {
        g_dbus_connection_close_sync(connection, nullptr, nullptr);
        g_object_unref(connection);
    }
    g_main_context_pop_thread_default(state->context);
}

} // namespace

FakeBusService::Definition FakeBusService::fileManager() {
    return {"org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
            R"(<node><interface name="org.freedesktop.FileManager1">
                 <method name="ShowItems"><arg type="as" direction="in"/>
                   <arg type="s" direction="in"/></method>
               </interface></node>)",
            "()"};
}

FakeBusService::Definition FakeBusService::notifications() {
    return {"org.freedesktop.Notifications", "/org/freedesktop/Notifications",
            R"(<node><interface name="org.freedesktop.Notifications">
                 <method name="Notify"><arg type="s" direction="in"/><arg type="u" direction="in"/>
                   <arg type="s" direction="in"/><arg type="s" direction="in"/>
                   <arg type="s" direction="in"/><arg type="as" direction="in"/>
                   <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
                   <arg type="u" direction="out"/></method>
               </interface></node>)",
            "(uint32 1,)"};
}

FakeBusService::FakeBusService(const std::string& busAddress, Definition definition)
    : state_(std::make_shared<State>()) {
    state_->definition = std::move(definition);
    state_->address = busAddress;
    state_->context = g_main_context_new();
    state_->loop = g_main_loop_new(state_->context, FALSE);
    thread_ = std::thread(serve, state_);
    std::unique_lock lock(state_->mutex);
    state_->changed.wait(lock, [&] { return state_->ready || !state_->failure.empty(); });
    if (!state_->ready) {
        std::string why = state_->failure;
        lock.unlock();
        thread_.join();
        g_main_loop_unref(state_->loop);
        g_main_context_unref(state_->context);
        throw std::runtime_error("cannot serve " + state_->definition.busName + ": " + why);
    }
}

FakeBusService::~FakeBusService() {
    g_main_context_invoke(
        state_->context,
        +[](gpointer loop) {
            g_main_loop_quit(static_cast<GMainLoop*>(loop));
            return G_SOURCE_REMOVE;
        },
        state_->loop);
    thread_.join();
    g_main_loop_unref(state_->loop);
    g_main_context_unref(state_->context);
}

std::vector<FakeBusService::Call> FakeBusService::waitForCalls(std::size_t count,
                                                               std::chrono::milliseconds timeout) {
    std::unique_lock lock(state_->mutex);
    state_->changed.wait_for(lock, timeout, [&] { return state_->calls.size() >= count; });
    return state_->calls;
}

} // namespace corvane::testing
