// Terminal launch, copy path, open in Visual Studio Code and the hidden files
// toggle, through the fakes.

#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace corvane {
namespace {

const std::string kSystemTerminal = "/System/Applications/Utilities/Terminal.app";
const std::string kTerminal = "/Applications/Utilities/Terminal.app";
const std::string kITerm = "/Applications/iTerm.app";
const std::string kITerm2 = "/Applications/iTerm 2.app";
const std::string kVSCode = "/Applications/Visual Studio Code.app";
const std::string kInsiders = "/Applications/Visual Studio Code - Insiders.app";

FileURL url(std::string_view path) {
    return FileURL::fromPath(path);
}

class FinderActionsTest : public fakes::FinderSyncFixture {
  protected:
    void SetUp() override {
        makeFinderSync();
        clearRecords();
    }

    bool wasCalled(std::string_view prefix) const {
        return std::ranges::any_of(
            calls, [prefix](const std::string& c) { return c.starts_with(prefix); });
    }

    /// The messages of the feedback records posted on "Corvane.OpenInVSCode",
    /// each checked to hold exactly "isError" true and a "message".
    std::vector<std::string> vsCodeFeedback() const {
        std::vector<std::string> messages;
        for (const Notification& posted : notifications.posted()) {
            EXPECT_EQ(posted.name, "Corvane.OpenInVSCode");
            EXPECT_EQ(posted.userInfo.size(), 2u);
            const PlistValue* isError = posted.userInfo.find("isError");
            const PlistValue* message = posted.userInfo.find("message");
            EXPECT_TRUE(isError && *isError == PlistValue(true));
            if (message && message->isString())
                messages.push_back(message->asString());
        }
        return messages;
    }
};

TEST_F(FinderActionsTest, TerminalsOpenTheTargetAloneWithThePreferredAppElseTheUntestedFallback) {
    struct Row {
        const char* selector;
        const std::string* installed; // nullptr: neither
        std::string opensWith;
        std::vector<std::string> tested;
    };
    const Row rows[] = {
        {"openTerminalHere:", &kSystemTerminal, kSystemTerminal, {kSystemTerminal}},
        {"openTerminalHere:", &kTerminal, kTerminal, {kSystemTerminal}},
        {"openITermHere:", &kITerm, kITerm, {kITerm}},
        {"openITermHere:", &kITerm2, kITerm2, {kITerm}},
        {"openITermHere:", nullptr, kITerm2, {kITerm}},
    };
    // A file as the target is passed on as it is; the selection plays no part.
    controller.setTargetedURL(url("/home/a/notes.txt"));
    controller.setSelectedItemURLs({url("/x"), url("/y")});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.opensWith);
        for (const std::string& app : {kSystemTerminal, kTerminal, kITerm, kITerm2})
            files.setExists(app, row.installed && app == *row.installed);
        clearRecords();
        const std::size_t before = workspace.openRequests().size();

        ASSERT_TRUE(finderSync->performAction(row.selector));

        std::vector<std::string> tested;
        for (const std::string& call : calls)
            if (call.starts_with("files.fileExists "))
                tested.push_back(call.substr(17));
        EXPECT_EQ(tested, row.tested);
        ASSERT_EQ(workspace.openRequests().size(), before + 1);
        const auto& request = workspace.openRequests().back();
        EXPECT_EQ(request.application, url(row.opensWith));
        EXPECT_EQ(request.urls, std::vector<FileURL>{url("/home/a/notes.txt")});
        EXPECT_FALSE(request.hasCompletion) << "fire and forget";
        EXPECT_FALSE(wasCalled("controller.selectedItemURLs"));
    }
}

TEST_F(FinderActionsTest, CopyPathJoinsTheSelectionElseTakesTheTargetAsBytes) {
    struct Row {
        std::vector<std::string> selected;
        std::optional<std::string> target;
        std::string copied;
    };
    const Row rows[] = {
        {{"/Users/a/x.txt", "/Users/a/y", "/Users/a/z.md"},
         "/Users/a",
         "/Users/a/x.txt\n/Users/a/y\n/Users/a/z.md"},
        {{"/Users/a/My Folder/"}, std::nullopt, "/Users/a/My Folder"},
        {{"/b/caf\xc3\xa9 100%.txt", "/b/caf\xe9", "/b/tab\there", "/b/line\nfeed", "/b/x"},
         std::nullopt,
         "/b/caf\xc3\xa9 100%.txt\n/b/caf\xe9\n/b/tab\there\n/b/line\nfeed\n/b/x"},
        {{"/d/same", "/d/same"}, std::nullopt, "/d/same\n/d/same"},
        {{}, "/Users/a/Documents", "/Users/a/Documents"},
    };
    for (const Row& row : rows) {
        std::vector<FileURL> selected;
        for (const std::string& path : row.selected)
            selected.push_back(url(path));
        controller.setSelectedItemURLs(selected);
        controller.setTargetedURL(row.target ? std::optional(url(*row.target)) : std::nullopt);
        clearRecords();

        ASSERT_TRUE(finderSync->performAction("copyPath:"));

        EXPECT_EQ(pasteboard.string(), row.copied);
        EXPECT_EQ(calls.back(), "pasteboard.setString " + row.copied);
        EXPECT_EQ(calls[calls.size() - 2], "pasteboard.clearContents");
        EXPECT_EQ(wasCalled("controller.targetedURL"), row.selected.empty()) << row.copied;
    }
}

TEST_F(FinderActionsTest, CopyPathWithNothingToCopyLeavesThePasteboardAlone) {
    ASSERT_TRUE(pasteboard.setString("earlier"));
    clearRecords();
    ASSERT_TRUE(finderSync->performAction("copyPath:"));
    EXPECT_EQ(pasteboard.string(), "earlier");
    EXPECT_FALSE(wasCalled("pasteboard."));
    EXPECT_EQ(log.str(), "");
}

TEST_F(FinderActionsTest, VSCodeOpensTheSelectionInOneRequestWithTheStableEditionFirst) {
    struct Row {
        std::vector<std::string> installed;
        std::string opensWith;
    };
    const Row rows[] = {{{kVSCode, kInsiders}, kVSCode}, {{kInsiders}, kInsiders}};
    const std::vector<FileURL> selection{url("/p/b.txt"), url("/p/a dir"), url("/p/c")};
    controller.setSelectedItemURLs(selection);
    controller.setTargetedURL(url("/p"));
    for (const Row& row : rows) {
        for (const std::string& app : {kVSCode, kInsiders})
            files.setExists(app, std::ranges::count(row.installed, app) > 0);
        const std::size_t before = workspace.openRequests().size();
        ASSERT_TRUE(finderSync->performAction("openInVSCode:"));
        ASSERT_EQ(workspace.openRequests().size(), before + 1);
        EXPECT_EQ(workspace.openRequests().back().application, url(row.opensWith));
        EXPECT_EQ(workspace.openRequests().back().urls, selection);
    }
    // Nothing selected: the targeted folder alone.
    controller.setSelectedItemURLs({});
    ASSERT_TRUE(finderSync->performAction("openInVSCode:"));
    EXPECT_EQ(workspace.openRequests().back().urls, std::vector<FileURL>{url("/p")});
    // Success is silent, and each completion reports at most once.
    EXPECT_EQ(workspace.completePendingOpens(), 3);
    EXPECT_EQ(workspace.completePendingOpens(), 0);
    EXPECT_TRUE(notifications.posted().empty());
}

TEST_F(FinderActionsTest, VSCodeFailuresBecomeOneFeedbackRecordEach) {
    // Not installed: the selection is never read.
    files.setExists(kVSCode, false);
    files.setExists(kInsiders, false);
    controller.setSelectedItemURLs({url("/p/a")});
    ASSERT_TRUE(finderSync->performAction("openInVSCode:"));
    EXPECT_FALSE(wasCalled("controller."));
    EXPECT_EQ(vsCodeFeedback(), std::vector<std::string>{"Visual Studio Code is not installed."});

    files.setExists(kInsiders, true);
    controller.setSelectedItemURLs({});
    ASSERT_TRUE(finderSync->performAction("openInVSCode:"));
    EXPECT_EQ(vsCodeFeedback().back(), "Select a file or folder in Finder to open in VS Code.");
    EXPECT_TRUE(workspace.openRequests().empty());

    // The open request fails: reported when it completes, not before.
    controller.setSelectedItemURLs({url("/p/a")});
    workspace.failNextOpen("The application \xe2\x80\x9C"
                           "code\xe2\x80\x9D could not be started.");
    ASSERT_TRUE(finderSync->performAction("openInVSCode:"));
    EXPECT_EQ(vsCodeFeedback().size(), 2u);
    EXPECT_EQ(workspace.completePendingOpens(), 1);
    EXPECT_EQ(vsCodeFeedback(),
              (std::vector<std::string>{"Visual Studio Code is not installed.",
                                        "Select a file or folder in Finder to open in VS Code.",
                                        "Failed to open in VS Code: The application \xe2\x80\x9C"
                                        "code\xe2\x80\x9D could not be started."}));
    EXPECT_EQ(log.str(), "") << "nothing goes to the log";
    EXPECT_TRUE(alerts.shown().empty());
}

TEST_F(FinderActionsTest, EachToggleSendsOneBareRequest) {
    ASSERT_TRUE(finderSync->performAction("toggleHiddenFiles:"));
    ASSERT_TRUE(finderSync->performAction("toggleHiddenFiles:"));
    ASSERT_EQ(notifications.posted().size(), 2u);
    for (const Notification& posted : notifications.posted()) {
        EXPECT_EQ(posted.name, "Corvane.HiddenFilesToggle");
        EXPECT_TRUE(posted.userInfo.empty());
    }
    EXPECT_EQ(calls, (std::vector<std::string>{"notifications.post Corvane.HiddenFilesToggle",
                                               "notifications.post Corvane.HiddenFilesToggle"}));
}

} // namespace
} // namespace corvane
