// Terminal launch, copy path, open in Visual Studio Code and the hidden files
// toggle, through the fakes.

#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using fakes::CallLog;

const std::string kSystemTerminal = "/System/Applications/Utilities/Terminal.app";
const std::string kTerminal = "/Applications/Utilities/Terminal.app";
const std::string kITerm = "/Applications/iTerm.app";
const std::string kITerm2 = "/Applications/iTerm 2.app";
const std::string kVSCode = "/Applications/Visual Studio Code.app";
const std::string kInsiders = "/Applications/Visual Studio Code - Insiders.app";

FileURL url(std::string_view path) {
    return FileURL::fromPath(path);
}

/// A feedback record of "Open in Visual Studio Code".
PlistDictionary feedback(std::string message) {
    return {{"isError", true}, {"message", std::move(message)}};
}

class FinderActionsTest : public fakes::FinderSyncFixture {
  protected:
    void SetUp() override {
        makeFinderSync();
        clearRecords();
    }
    void installOnly(const std::vector<std::string>& apps) {
        for (const std::string& app :
             {kSystemTerminal, kTerminal, kITerm, kITerm2, kVSCode, kInsiders})
            files.setExists(app, std::ranges::count(apps, app) > 0);
    }
};

TEST_F(FinderActionsTest, TerminalsOpenTheTargetAloneWithThePreferredAppElseTheUntestedFallback) {
    struct Row {
        const char* selector;
        std::vector<std::string> installed;
        std::string opensWith, tested;
    };
    const Row rows[] = {
        {"openTerminalHere:", {kSystemTerminal, kTerminal}, kSystemTerminal, kSystemTerminal},
        {"openTerminalHere:", {kTerminal}, kTerminal, kSystemTerminal},
        {"openITermHere:", {kITerm, kITerm2}, kITerm, kITerm},
        {"openITermHere:", {kITerm2}, kITerm2, kITerm},
        {"openITermHere:", {}, kITerm2, kITerm},
    };
    // A file as the target is passed on as it is; the selection plays no part.
    controller.setTargetedURL(url("/home/a/notes.txt"));
    controller.setSelectedItemURLs({url("/x"), url("/y")});
    for (const Row& row : rows) {
        installOnly(row.installed);
        clearRecords();
        ASSERT_TRUE(finderSync->performAction(row.selector));
        EXPECT_EQ(calls, (CallLog{"controller.targetedURL", "files.fileExists " + row.tested,
                                  "workspace.openURLs " + row.opensWith + " /home/a/notes.txt"}));
    }
    EXPECT_EQ(workspace.completePendingOpens(), 0) << "fire and forget";
}

TEST_F(FinderActionsTest, CopyPathPutsTheSelectionElseTheTargetOnThePasteboardAsBytes) {
    struct Row {
        std::vector<std::string> selected;
        std::optional<std::string> target, copied;
    };
    const Row rows[] = {
        {{"/b/caf\xc3\xa9 100%.txt", "/b/caf\xe9", "/b/tab\there", "/b/line\nfeed", "/b/x", "/b/x"},
         "/Users/a",
         "/b/caf\xc3\xa9 100%.txt\n/b/caf\xe9\n/b/tab\there\n/b/line\nfeed\n/b/x\n/b/x"},
        {{}, "/Users/a/Documents", "/Users/a/Documents"},
        {{}, std::nullopt, std::nullopt},
    };
    std::string held = "earlier";
    ASSERT_TRUE(pasteboard.setString(held));
    for (const Row& row : rows) {
        std::vector<FileURL> selected;
        for (const std::string& path : row.selected)
            selected.push_back(url(path));
        controller.setSelectedItemURLs(selected);
        controller.setTargetedURL(row.target ? std::optional(url(*row.target)) : std::nullopt);
        clearRecords();

        ASSERT_TRUE(finderSync->performAction("copyPath:"));

        CallLog expected{"controller.selectedItemURLs"};
        if (row.selected.empty())
            expected.push_back("controller.targetedURL");
        if (row.copied) {
            expected.push_back("pasteboard.clearContents");
            expected.push_back("pasteboard.setString " + *row.copied);
            held = *row.copied;
        }
        EXPECT_EQ(calls, expected);
        EXPECT_EQ(pasteboard.string(), held);
        EXPECT_EQ(log.str(), "");
    }
}

TEST_F(FinderActionsTest, VSCodeOpensTheSelectionElseTheTargetInOneRequestStableEditionFirst) {
    const std::vector<FileURL> selection{url("/p/b.txt"), url("/p/a dir"), url("/p/c")};
    controller.setTargetedURL(url("/p"));
    struct Row {
        std::vector<std::string> installed;
        std::vector<FileURL> selected;
        std::string opened;
    };
    const Row rows[] = {
        {{kVSCode, kInsiders}, selection, kVSCode + " /p/b.txt /p/a dir /p/c"},
        {{kInsiders}, selection, kInsiders + " /p/b.txt /p/a dir /p/c"},
        {{kInsiders}, {}, kInsiders + " /p"},
    };
    for (const Row& row : rows) {
        installOnly(row.installed);
        controller.setSelectedItemURLs(row.selected);
        clearRecords();
        ASSERT_TRUE(finderSync->performAction("openInVSCode:"));
        EXPECT_EQ(callsStartingWith({"workspace."}), CallLog{"workspace.openURLs " + row.opened});
    }
    EXPECT_EQ(workspace.completePendingOpens(), 3);
    EXPECT_TRUE(notifications.posted().empty()) << "success is silent";
}

TEST_F(FinderActionsTest, VSCodeFailuresBecomeOneFeedbackRecordEach) {
    installOnly({});
    controller.setSelectedItemURLs({url("/p/a")});
    ASSERT_TRUE(finderSync->performAction("openInVSCode:"));
    EXPECT_EQ(callsStartingWith({"controller."}), CallLog{}) << "not installed: nothing read";

    installOnly({kInsiders});
    controller.setSelectedItemURLs({});
    ASSERT_TRUE(finderSync->performAction("openInVSCode:"));
    EXPECT_EQ(callsStartingWith({"workspace."}), CallLog{});

    controller.setSelectedItemURLs({url("/p/a")});
    workspace.failNextOpen("The application \xe2\x80\x9C"
                           "code\xe2\x80\x9D could not be started.");
    ASSERT_TRUE(finderSync->performAction("openInVSCode:"));
    EXPECT_EQ(notifications.posted().size(), 2u) << "reported when the request completes";
    EXPECT_EQ(workspace.completePendingOpens(), 1);
    EXPECT_EQ(postedUserInfo("Corvane.OpenInVSCode"),
              (std::vector<PlistDictionary>{
                  feedback("Visual Studio Code is not installed."),
                  feedback("Select a file or folder in Finder to open in VS Code."),
                  feedback("Failed to open in VS Code: The application \xe2\x80\x9C"
                           "code\xe2\x80\x9D could not be started.")}));
    EXPECT_EQ(log.str(), "") << "nothing goes to the log";
    EXPECT_TRUE(alerts.shown().empty());
}

TEST_F(FinderActionsTest, EachToggleSendsOneBareRequest) {
    ASSERT_TRUE(finderSync->performAction("toggleHiddenFiles:"));
    ASSERT_TRUE(finderSync->performAction("toggleHiddenFiles:"));
    EXPECT_EQ(postedUserInfo("Corvane.HiddenFilesToggle"), std::vector<PlistDictionary>(2));
    EXPECT_EQ(calls, CallLog(2, "notifications.post Corvane.HiddenFilesToggle"));
}

} // namespace
} // namespace corvane
