#pragma once

// The file manager's D-Bus interface to the extension: its names, and its
// messages as plain values. On GLib's C API alone, so that the extension
// process, corvane-finder and every file manager's module share one copy
// (a module lives inside another program and must stay light).
//
// Paths travel as byte strings ("ay"), so file names need not be UTF-8.

#include <gio/gio.h>

#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::finderbus {

inline constexpr char kBusName[] = "Brenvo.Corvane.FinderSync";
inline constexpr char kObjectPath[] = "/Brenvo/Corvane/FinderSync";
inline constexpr char kInterface[] = "Brenvo.Corvane.FinderSync";
inline constexpr char kGetMenu[] = "GetMenu";
inline constexpr char kPerformAction[] = "PerformAction";
/// Signal, no arguments: the menu may have changed since a file manager
/// last asked (the companion app switched its running flag or the options).
inline constexpr char kMenuChanged[] = "MenuChanged";

/// GetMenu's arguments: menu kind, targeted folder (zero or one path), selection.
inline constexpr char kMenuRequestType[] = "(uaayaay)";
/// PerformAction's arguments: action selector, targeted folder, selection.
inline constexpr char kActionRequestType[] = "(saayaay)";
/// GetMenu's reply: whether there is a menu, its title, and its entries.
inline constexpr char kMenuReplyType[] = "(bsa(bssssssbb))";

/// The menu kind a file manager sends for the items of a selection.
inline constexpr unsigned kMenuKindItems = 0;
/// The menu kind a file manager sends for a folder's background.
inline constexpr unsigned kMenuKindContainer = 1;

/// Answered to a selector the extension has no action for.
inline constexpr char kUnknownActionError[] = "Brenvo.Corvane.FinderSync.Error.UnknownAction";
/// Answered to a request whose arguments break the rules of `decodeMenuRequest`.
inline constexpr char kInvalidArgsError[] = "org.freedesktop.DBus.Error.InvalidArgs";
/// Answered when the extension could not produce its reply.
inline constexpr char kFailedError[] = "org.freedesktop.DBus.Error.Failed";

/// The introspection data of the interface.
extern const char kIntrospectionXml[];

/// What a request concerns: the targeted folder (none allowed) and the
/// selected items in the file manager's order, as paths.
struct RequestContext {
    std::optional<std::string> targeted;
    std::vector<std::string> selected;
    bool operator==(const RequestContext&) const = default;
};

struct MenuRequest {
    unsigned menuKind = 0;
    RequestContext context;
};

struct ActionRequest {
    std::string selector;
    RequestContext context;
};

/// One entry of the extension's menu as it travels.
struct MenuEntry {
    bool separator = false;
    std::string title;
    /// The action selector; empty for an item that has none.
    std::string action;
    std::string keyEquivalent;
    /// The image's symbol name; empty for an item without an image.
    std::string symbol;
    /// The freedesktop icon name of the image.
    std::string iconName;
    std::string accessibilityDescription;
    bool templateImage = false;
    bool enabled = true;
    bool operator==(const MenuEntry&) const = default;
};

/// A menu as it travels.
struct Menu {
    std::string title;
    std::vector<MenuEntry> entries;
    bool operator==(const Menu&) const = default;
};

/// A readable reason a message could not be made or read.
template <typename T> using Result = std::expected<T, std::string>;

// Each encoder returns a new floating GVariant. A request's paths must be
// absolute and free of NUL bytes; one trailing NUL, as GLib's byte strings
// carry, is accepted and dropped, and so are trailing slashes.

GVariant* encodeMenuRequest(const MenuRequest& request);
Result<MenuRequest> decodeMenuRequest(GVariant* parameters);
/// Fails when the selector is not valid UTF-8.
Result<GVariant*> encodeActionRequest(const ActionRequest& request);
Result<ActionRequest> decodeActionRequest(GVariant* parameters);
/// None for "no menu". Fails when a text is not valid UTF-8 without NUL bytes.
Result<GVariant*> encodeMenuReply(const std::optional<Menu>& menu);
Result<std::optional<Menu>> decodeMenuReply(GVariant* reply);

/// Whether `text` may travel as a D-Bus string: valid UTF-8 without NUL bytes.
bool isDBusString(std::string_view text);

} // namespace corvane::finderbus
