#pragma once

#include "platform/error.h"
#include "platform/file_url.h"

#include <functional>
#include <string_view>
#include <vector>

namespace corvane {

/// The desktop's file viewer and its applications.
class Workspace {
  public:
    /// Told how an open request ended: success, or why the application could
    /// not be started.
    using OpenCompletion = std::function<void(Expected<void>)>;

    virtual ~Workspace() = default;

    /// Asks the file viewer to show `filePath` selected in a window rooted at
    /// `rootPath`. Nothing waits for the viewer; a missing viewer is not an
    /// error of the caller.
    virtual void selectFile(std::string_view filePath, std::string_view rootPath) = 0;

    /// Opens `urls`, in order, with the application at `application`, and
    /// returns at once. `completion`, when given, is called exactly once,
    /// later, on the main loop's thread, never from inside this call. Without
    /// one the outcome is dropped.
    virtual void openURLs(const std::vector<FileURL>& urls, const FileURL& application,
                          OpenCompletion completion) = 0;
};

} // namespace corvane
