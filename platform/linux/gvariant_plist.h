#pragma once

// Property-list values as D-Bus values, and the checks and helpers every
// message we build needs. `Glib::VariantBase` owns each GVariant reference:
// made from a floating reference it sinks it, made from a full one it takes
// it over.

#include "platform/error.h"
#include "platform/plist_value.h"

#include <glibmm/variant.h>

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

/// True when `text` may travel as a D-Bus string (`s`): valid UTF-8 without
/// a NUL byte. A string GVariant of any other bytes comes out null.
bool isDBusString(std::string_view text);

/// `text` made fit to travel as a D-Bus string: each stray byte and each NUL
/// byte becomes U+FFFD; valid text comes back unchanged.
std::string toDBusString(std::string_view text);

/// `bytes` unchanged as a D-Bus byte array (`ay`).
Glib::VariantBase bytesVariant(std::string_view bytes);

/// Values nested deeper than this many arrays and dictionaries are not
/// mapped: the bus refuses messages nested beyond its limit.
inline constexpr int kMaxVariantNesting = 20;

/// The D-Bus value for `value`: boolean `b`, integer `x` (`t` above the
/// signed 64-bit range), real `d`, string
/// `s` (or `ay` when it is not a D-Bus string), data `ay`, date `(d)` with the
/// seconds since 1970-01-01T00:00:00Z, array `av`, dictionary `a{sv}`. A
/// dictionary key that is not a D-Bus string is left out, with its value.
/// Fails when `value` nests deeper than `kMaxVariantNesting`.
Expected<Glib::VariantBase> plistToVariant(const PlistValue& value);
/// The `a{sv}` for `dictionary`, as `plistToVariant` maps it.
Expected<Glib::VariantBase> dictionaryToVariant(const PlistDictionary& dictionary);

/// The property-list value for a received D-Bus value. Integers of every
/// width become integers (a `t` above the signed range an unsigned one);
/// `s`, `o` and `g` strings; `ay` data; `(d)` a date; any other array or
/// structure an array; a dictionary with string keys a dictionary; a
/// variant or a present maybe its content. Elements that cannot be mapped
/// (handles, dictionaries with other keys, absent maybes) are left out; none
/// when `value` itself cannot be mapped or is null.
std::optional<PlistValue> plistFromVariant(const Glib::VariantBase& value);

} // namespace corvane
