#pragma once

// The "Batch Rename" window: the items in the order they will be numbered,
// a base name, and a live preview of every new name.

#include "companion/model/extension_requests.h"
#include "companion/model/rename_preview.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvane::companion {

/// What the person chose to rename: a base name and the items to send.
struct RenameAnswer {
    std::string baseName;
    std::vector<std::string> paths;
};

/// One window at a time: a newer request replaces the one shown.
class RenameDialog {
  public:
    /// `preview` works out the rows for a base name; `answered` is called once
    /// per shown request or message, with the answer or none (cancelled,
    /// closed, replaced by a newer request, or a message dismissed).
    using Preview = std::function<std::vector<PreviewRow>(const std::vector<std::string>& paths,
                                                          std::string_view baseName)>;
    using Answered = std::function<void(std::optional<RenameAnswer>)>;
    RenameDialog(Preview preview, Answered answered);
    ~RenameDialog();

    /// Shows `request`. The same request as the one shown only brings the
    /// window to the front; another one takes its place, keeping the base name.
    void show(const RenameRequest& request);
    /// Shows `message` instead of a request.
    void showMessage(const std::string& message);
    /// Closes the window as Cancel does.
    void close();

    struct Window;

  private:
    Preview preview_;
    Answered answered_;
    std::unique_ptr<Window> window_;
    std::optional<RenameRequest> shown_;
};

} // namespace corvane::companion
