#include "tools/finder/finder_client.h"

namespace corvane::tools::finder {

namespace {

// The extension answers from its main loop at once; anything slower means it is stuck.
constexpr int kCallTimeoutMs = 5000;

} // namespace

FinderClient::FinderClient(GDBusConnection* bus)
    : bus_(bus, g_object_unref),
      client_(std::make_unique<finderbus::FinderBusClient>(
          bus, kCallTimeoutMs, finderbus::FinderBusClient::Activation::Never)) {}

Outcome<FinderClient> FinderClient::connect() {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (bus == nullptr) {
        std::string reason = std::string("cannot reach the session bus: ") + error->message;
        g_error_free(error);
        return failure(reason);
    }
    return FinderClient(bus);
}

FinderClient::~FinderClient() {
    if (bus_)
        g_dbus_connection_flush_sync(bus_.get(), nullptr, nullptr);
}

Outcome<std::optional<finderbus::Menu>>
FinderClient::menu(unsigned kind, const finderbus::RequestContext& context) {
    auto menu = client_->menu(kind, context);
    if (!menu)
        return failure(menu.error());
    return std::move(*menu);
}

Outcome<> FinderClient::perform(const std::string& selector,
                                const finderbus::RequestContext& context) {
    if (auto performed = client_->perform(selector, context); !performed)
        return failure(performed.error());
    return {};
}

} // namespace corvane::tools::finder
