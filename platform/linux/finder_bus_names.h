#pragma once

// The names and message types of the file manager's D-Bus interface to the
// extension, without any library: a module loaded into a file manager uses
// them as they are.

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
/// GetMenu's reply: whether there is a menu, its title, and per entry:
/// separator, title, action, key equivalent, symbol name, icon name,
/// accessibility description, template image, enabled.
inline constexpr char kMenuReplyType[] = "(bsa(bssssssbb))";

/// The menu kind a file manager sends for the items of a selection.
inline constexpr unsigned kMenuKindItems = 0;
/// The menu kind a file manager sends for a folder's background.
inline constexpr unsigned kMenuKindContainer = 1;

} // namespace corvane::finderbus
