#pragma once

#include "extension/settings/secured_directories.h"
#include "platform/file_url.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

class FileManager;
class SecurityScope;

/// What one batch rename did.
struct BatchRenameOutcome {
    /// The number of items moved.
    std::int64_t successCount = 0;
    /// The name each unmoved item had before the batch (its last path
    /// component), in processing order.
    std::vector<std::string> failures;

    bool operator==(const BatchRenameOutcome&) const = default;
};

/// A copy of `items` in canonical order of their paths (`canonicalOrderKey`),
/// items with equal keys in their given order.
std::vector<FileURL> sortedForRenaming(std::span<const FileURL> items);

/// `baseName`, `number` in decimal, then "." and `extension` unless it is
/// empty: "Photo7.jpg", "Photo7".
std::string renameTargetName(std::string_view baseName, std::int64_t number,
                             std::string_view extension);

/// Variant `n` of `name`: " (n)" before its last dot, or at its end when it
/// has none ("Photo7 (1).jpg", "Photo7 (1)"); variant 0 is `name` itself.
std::string numberedVariant(std::string_view name, std::int64_t n);

/// True when `name` is one entry of a folder: not empty, no "/" or NUL byte,
/// not "." or "..".
bool isPlainFileName(std::string_view name);

/// Gives items a base name and a running number in their own folders, keeping
/// their extensions, and never replaces an existing item.
class RenameEngine {
  public:
    /// Both services must outlive the engine.
    RenameEngine(FileManager& files, SecurityScope& security);

    /// Renames `items` in sorted order: the first gets `startNumber`, and the
    /// number advances after every item, moved or not. A taken target name,
    /// also one taken by another process between the look and the move, is
    /// replaced by its first free numbered variant. Each move runs inside
    /// security-scoped access to the item itself when the item lies inside
    /// one of `securedURLs`. An item that cannot be moved, one whose path is
    /// not absolute or ends in "." or "..", and one whose target would not be
    /// a plain file name (a base name with "/") stays where it is and is
    /// listed as a failure. An empty list touches nothing.
    BatchRenameOutcome rename(std::span<const FileURL> items, std::string_view baseName,
                              std::int64_t startNumber, const SecuredFolderRule& secured);

    /// `folder` with the first of `name` and its numbered variants at which
    /// nothing exists.
    FileURL uniqueDestinationURL(const FileURL& folder, std::string_view name);

  private:
    FileManager& files_;
    SecurityScope& security_;
};

} // namespace corvane
