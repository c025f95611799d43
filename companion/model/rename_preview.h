#pragma once

// What a batch rename will do, worked out before it runs: the rename
// engine itself runs on a view of the disk in which its moves only happen
// on paper.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {
class FileManager;
class SecurityScope;
} // namespace corvane

namespace corvane::companion {

/// Why a base name cannot be sent; `None` when it can.
enum class BaseNameProblem { None, Empty, HasSlash, DotOrDotDot };
BaseNameProblem checkBaseName(std::string_view baseName);

/// One item of a request, in the order the engine numbers them.
struct PreviewRow {
    std::string path;
    /// Its name after the rename; none when the engine will not move it.
    std::optional<std::string> newName;
};

/// The rows for `paths` renamed to `baseName` with numbers from 1, as the
/// rename engine would do it now: in its order, with its target names and
/// the " (n)" variants it takes where a name is taken on `disk` or by an
/// earlier item of the batch. The engine runs for real, on an overlay of
/// `disk` that records moves instead of making them; `security` is never
/// asked, since the preview names no secured folders.
std::vector<PreviewRow> previewRename(const std::vector<std::string>& paths,
                                      std::string_view baseName, FileManager& disk,
                                      SecurityScope& security);

} // namespace corvane::companion
