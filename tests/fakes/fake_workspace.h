#pragma once

#include "platform/workspace.h"
#include "tests/fakes/call_log.h"

#include <string>
#include <utility>
#include <vector>

namespace corvane::fakes {

/// Records reveals and open requests. An open request completes only when
/// the test says so, with the outcome set for it when it was made.
class FakeWorkspace final : public Workspace, Recorder {
  public:
    using Recorder::Recorder;

    void selectFile(std::string_view filePath, std::string_view rootPath) override {
        record("workspace.selectFile " + std::string(filePath) + " in " + std::string(rootPath));
    }
    /// Recorded as "workspace.openURLs <application> <url>...".
    void openURLs(const std::vector<FileURL>& urls, const FileURL& application,
                  OpenCompletion completion) override {
        std::string entry = "workspace.openURLs " + application.path();
        for (const FileURL& url : urls)
            entry += " " + url.path();
        record(std::move(entry));
        if (completion)
            pending_.emplace_back(std::move(completion), std::exchange(nextOutcome, {}));
    }
    /// Calls the completions of the requests made so far, each once, in
    /// order; returns how many were called.
    std::size_t completePendingOpens() {
        auto pending = std::exchange(pending_, {});
        for (auto& [completion, outcome] : pending)
            completion(outcome);
        return pending.size();
    }

    /// How the next open request ends.
    Expected<void> nextOutcome;

  private:
    std::vector<std::pair<OpenCompletion, Expected<void>>> pending_;
};

} // namespace corvane::fakes
