#include "host/finder_service.h"

#include "extension/finder_sync.h"
#include "finderbus/finder_bus.h"
#include "host/batched_log.h"
#include "host/host_finder_sync_controller.h"

#include <gio/gio.h>
#include <giomm/dbusconnection.h>
#include <giomm/dbusintrospection.h>
#include <giomm/dbusmethodinvocation.h>

#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

namespace {

using Invocation = Glib::RefPtr<Gio::DBus::MethodInvocation>;

void replyError(const Invocation& invocation, const char* name, std::string_view message) {
    // The message travels as a D-Bus string: never pass on bytes that are not UTF-8.
    invocation->return_dbus_error(name, finderbus::isDBusString(message)
                                            ? Glib::ustring(message.data(), message.size())
                                            : Glib::ustring("the request failed"));
}

/// Sets what the extension sees of the request while it handles it.
void setContext(HostFinderSyncController& controller, const finderbus::RequestContext& context) {
    std::optional<FileURL> targeted;
    if (context.targeted)
        targeted = FileURL::fromPath(*context.targeted);
    std::vector<FileURL> selected;
    selected.reserve(context.selected.size());
    for (const std::string& path : context.selected)
        selected.push_back(FileURL::fromPath(path));
    controller.setRequestContext(std::move(targeted), std::move(selected));
}

/// The menu as it travels to the file manager.
std::optional<finderbus::Menu> travellingMenu(const std::optional<Menu>& menu) {
    if (!menu)
        return std::nullopt;
    finderbus::Menu sent{menu->title, {}};
    for (const MenuItem& item : menu->items) {
        const MenuImage image = item.image.value_or(MenuImage{});
        sent.entries.push_back({item.isSeparator, item.title, item.action.value_or(""),
                                item.keyEquivalent, image.symbolName, image.iconName,
                                image.accessibilityDescription, image.isTemplate, item.enabled});
    }
    return sent;
}

} // namespace

struct FinderService::Impl {
    Impl(Glib::RefPtr<Gio::DBus::Connection> conn, HostFinderSyncController& ctrl,
         BatchedLog& batchedLog)
        : connection(std::move(conn)), controller(ctrl), log(batchedLog),
          vtable(sigc::mem_fun(*this, &Impl::onMethodCall)) {}

    Glib::RefPtr<Gio::DBus::Connection> connection;
    HostFinderSyncController& controller;
    BatchedLog& log;
    // Registered with the connection: it must outlive the registration.
    Gio::DBus::InterfaceVTable vtable;
    guint registrationId = 0;
    bool ownsName = false;
    // Built once the name is ours; destroyed after the object is unexported.
    std::optional<FinderSync> finderSync;

    Expected<void> exportObject();
    Expected<void> requestName();

    void onMethodCall(const Glib::RefPtr<Gio::DBus::Connection>& /*connection*/,
                      const Glib::ustring& /*sender*/, const Glib::ustring& /*objectPath*/,
                      const Glib::ustring& /*interfaceName*/, const Glib::ustring& methodName,
                      const Glib::VariantContainerBase& parameters, const Invocation& invocation) {
        // An exception escaping this slot would leave the caller without a
        // reply; every reply is sent as the last step, so at most one goes out.
        try {
            if (methodName == finderbus::kGetMenu)
                getMenu(parameters, invocation);
            else if (methodName == finderbus::kPerformAction)
                performAction(parameters, invocation);
            else
                replyError(invocation, "org.freedesktop.DBus.Error.UnknownMethod",
                           "no such method");
        } catch (const std::exception& e) {
            // Glib::Error is a std::exception too.
            replyError(invocation, finderbus::kFailedError, e.what());
        }
    }

    void getMenu(const Glib::VariantContainerBase& parameters, const Invocation& invocation) {
        finderbus::Result<finderbus::MenuRequest> request =
            finderbus::decodeMenuRequest(const_cast<GVariant*>(parameters.gobj()));
        if (!request) {
            replyError(invocation, finderbus::kInvalidArgsError, request.error());
            return;
        }
        setContext(controller, request->context);
        std::optional<Menu> menu;
        {
            // A line per secured folder: written at once, before the reply.
            BatchedLog::Hold gather(log);
            menu = finderSync.value().menuForMenuKind(request->menuKind);
        }
        finderbus::Result<GVariant*> reply = finderbus::encodeMenuReply(travellingMenu(menu));
        if (!reply) {
            replyError(invocation, finderbus::kFailedError, reply.error());
            return;
        }
        invocation->return_value(Glib::VariantContainerBase(*reply));
    }

    void performAction(const Glib::VariantContainerBase& parameters, const Invocation& invocation) {
        finderbus::Result<finderbus::ActionRequest> request =
            finderbus::decodeActionRequest(const_cast<GVariant*>(parameters.gobj()));
        if (!request) {
            replyError(invocation, finderbus::kInvalidArgsError, request.error());
            return;
        }
        setContext(controller, request->context);
        FinderSync& sync = finderSync.value();
        if (!sync.respondsToSelector(request->selector) || !sync.performAction(request->selector)) {
            replyError(invocation, finderbus::kUnknownActionError,
                       "no action for the selector " + request->selector);
            return;
        }
        invocation->return_value(Glib::VariantContainerBase(g_variant_new_tuple(nullptr, 0)));
    }
};

FinderService::FinderService(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Expected<std::unique_ptr<FinderService>>
FinderService::start(Glib::RefPtr<Gio::DBus::Connection> connection,
                     const FinderSyncServices& services, HostFinderSyncController& controller,
                     BatchedLog& log) {
    std::unique_ptr<FinderService> service(
        new FinderService(std::make_unique<Impl>(std::move(connection), controller, log)));
    // GDBus answers a call for an object that is not exported at once, from
    // its worker thread, but hands a call for an exported one to the main
    // loop. So the object is exported before the name is taken (a call the
    // bus queued for the name while it started this process is not refused),
    // and the FinderSync object is built before the caller returns to the loop.
    if (Expected<void> exported = service->impl_->exportObject(); !exported)
        return std::unexpected(exported.error());
    if (Expected<void> named = service->impl_->requestName(); !named)
        return std::unexpected(named.error());
    service->impl_->finderSync.emplace(services);
    return service;
}

Expected<void> FinderService::Impl::exportObject() {
    try {
        Glib::RefPtr<Gio::DBus::NodeInfo> node =
            Gio::DBus::NodeInfo::create_for_xml(finderbus::kIntrospectionXml);
        registrationId = connection->register_object(
            finderbus::kObjectPath, node->lookup_interface(finderbus::kInterface), vtable);
    } catch (const Glib::Error& e) {
        return makeError(std::string("cannot serve ") + finderbus::kObjectPath + ": " + e.what());
    }
    return {};
}

Expected<void> FinderService::Impl::requestName() {
    // Asked for synchronously and without queueing: a second instance must
    // not wait in line to take over later, it stops at once. (The library's
    // asynchronous name owner can touch a connection that closed while the
    // request was in flight.)
    constexpr guint32 kDoNotQueue = 4;
    constexpr guint32 kPrimaryOwner = 1;
    const std::string failure = std::string("cannot own the bus name ") + finderbus::kBusName;
    GError* error = nullptr;
    Glib::VariantBase reply(g_dbus_connection_call_sync(
        connection->gobj(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "RequestName", g_variant_new("(su)", finderbus::kBusName, kDoNotQueue),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error));
    if (!reply) {
        std::string message = error->message;
        g_error_free(error);
        return makeError(failure + ": " + message);
    }
    guint32 result = 0;
    g_variant_get(reply.gobj(), "(u)", &result);
    if (result != kPrimaryOwner)
        return makeError(failure + ": another process owns it");
    ownsName = true;
    return {};
}

FinderService::~FinderService() {
    // The reply is not waited for; the host flushes the connection before it exits.
    if (impl_->ownsName && !impl_->connection->is_closed())
        g_dbus_connection_call(impl_->connection->gobj(), "org.freedesktop.DBus",
                               "/org/freedesktop/DBus", "org.freedesktop.DBus", "ReleaseName",
                               g_variant_new("(s)", finderbus::kBusName), nullptr,
                               G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    if (impl_->registrationId != 0)
        impl_->connection->unregister_object(impl_->registrationId);
}

} // namespace corvane
