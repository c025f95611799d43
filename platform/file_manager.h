#pragma once

#include "platform/error.h"
#include "platform/file_url.h"
#include "platform/plist_value.h"

#include <optional>
#include <string_view>

namespace corvane {

/// File operations the extension needs, shaped by its tasks.
class FileManager {
  public:
    virtual ~FileManager() = default;

    /// True when any directory entry exists at `path`, a dangling link included.
    virtual bool fileExists(std::string_view path) = 0;
    /// Moves `from` to `to`; fails rather than replace anything at `to`.
    virtual Expected<void> moveItem(const FileURL& from, const FileURL& to) = 0;
    /// Writes `contents` to `url` through a temporary file, so readers never see
    /// a partial file; fails rather than replace an item that exists at `url`.
    virtual Expected<void> createFileAtomically(const FileURL& url, std::string_view contents) = 0;
    /// The root dictionary of the property list at `url` (XML or binary); none
    /// when the file is missing, unreadable, not a property list or not a
    /// dictionary at its root.
    virtual std::optional<PlistDictionary> readPropertyListDictionary(const FileURL& url) = 0;
};

} // namespace corvane
