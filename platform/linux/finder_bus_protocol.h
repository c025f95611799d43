#pragma once

// The file manager's D-Bus interface to the extension: names, and the
// conversions between its messages and our types. Paths travel as byte
// strings ("ay"), so file names need not be UTF-8.

#include "platform/error.h"
#include "platform/file_url.h"
#include "platform/linux/finder_bus_names.h"
#include "platform/menu.h"

#include <glibmm/variant.h>

#include <optional>
#include <string>
#include <vector>

namespace corvane::finderbus {

/// Answered to a selector the extension has no action for.
inline constexpr char kUnknownActionError[] = "Brenvo.Corvane.FinderSync.Error.UnknownAction";
/// Answered to a request whose arguments break the rules below.
inline constexpr char kInvalidArgsError[] = "org.freedesktop.DBus.Error.InvalidArgs";
/// Answered when the extension could not produce its reply.
inline constexpr char kFailedError[] = "org.freedesktop.DBus.Error.Failed";

/// The introspection data of the interface.
extern const char kIntrospectionXml[];

/// What a request concerns: the targeted folder (none allowed) and the
/// selected items in the file manager's order.
struct RequestContext {
    std::optional<FileURL> targeted;
    std::vector<FileURL> selected;
    bool operator==(const RequestContext&) const = default;
};

/// GetMenu's arguments, "(uaayaay)": menu kind, targeted folder as an array of
/// zero or one path, selection.
struct MenuRequest {
    unsigned menuKind = 0;
    RequestContext context;
};

/// PerformAction's arguments, "(saayaay)": action selector, targeted folder
/// as an array of zero or one path, selection.
struct ActionRequest {
    std::string selector;
    RequestContext context;
};

/// Every path must be absolute and free of NUL bytes; one trailing NUL, as
/// GLib's byte strings carry, is accepted and dropped.
Glib::VariantContainerBase encodeMenuRequest(const MenuRequest& request);
Expected<MenuRequest> decodeMenuRequest(const Glib::VariantContainerBase& parameters);
/// Fails when the selector is not valid UTF-8.
Expected<Glib::VariantContainerBase> encodeActionRequest(const ActionRequest& request);
Expected<ActionRequest> decodeActionRequest(const Glib::VariantContainerBase& parameters);

/// GetMenu's reply, "(bsa(bssssssbb))": whether there is a menu, its title,
/// and per entry: separator, title, action ("" for none), key equivalent,
/// symbol name ("" for no image), icon name, accessibility description,
/// template image, enabled. Fails when a text is not valid UTF-8.
Expected<Glib::VariantContainerBase> encodeMenuReply(const std::optional<Menu>& menu);
Expected<std::optional<Menu>> decodeMenuReply(const Glib::VariantContainerBase& reply);

} // namespace corvane::finderbus
