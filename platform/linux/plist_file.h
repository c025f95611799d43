#pragma once

#include "platform/error.h"
#include "platform/plist_value.h"

#include <cstddef>
#include <string>

namespace corvane {

/// Largest property-list file we read; anything bigger is refused rather
/// than loaded into memory.
inline constexpr std::size_t kMaxPropertyListFileSize = std::size_t{64} << 20;

/// What a property-list file was found to hold.
enum class PlistFileState {
    /// Nothing at the path.
    Missing,
    /// An item that holds no dictionary we can use: not a property list, a
    /// root that is not a dictionary, larger than `kMaxPropertyListFileSize`,
    /// or not a regular file.
    Unreadable,
    /// A property list with a dictionary at its root.
    Good,
};

/// A property-list file as read: its state, and its root when `Good` (else empty).
struct PlistFile {
    PlistFileState state = PlistFileState::Missing;
    PlistDictionary root;
};

/// Reads the property list (XML or binary) at `path`, expecting a dictionary
/// at its root. Fails only when an item is there that cannot be opened or
/// read (a folder, no permission, an I/O error) or the path holds a NUL byte:
/// the item may then hold good data nobody can see, so a writer must leave it
/// alone, whereas an `Unreadable` one may be set aside and replaced.
Expected<PlistFile> readPlistFile(const std::string& path);

} // namespace corvane
