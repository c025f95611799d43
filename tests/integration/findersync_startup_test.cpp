// corvane-findersync's start-up, end to end: the settings the companion
// stand-in leaves behind, the exact log lines the process prints for them,
// and a clean exit on SIGTERM.

#include "platform/linux/bookmark_security_scope.h"
#include "tests/integration/process_harness.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>

namespace corvane::testing {
namespace {

const std::string kDefaultsLine =
    R"([CorvaneExt] Using default menu options: ["newTextFile": true, "newTerminalHere": false, )"
    R"("newITermHere": false, "copyPath": false, "batchRename": false, )"
    R"("toggleHiddenFiles": false, "openInVSCode": false])";
const std::string kEmptySharedLine = "[CorvaneExt] Loaded menu options: [:]";

class FinderSyncStartupTest : public ::testing::Test {
  protected:
    void companion(std::vector<std::string> args) {
        args.insert(args.begin(), CORVANE_COMPANION);
        CommandResult result = runCommand(std::move(args), env);
        ASSERT_EQ(result.exitStatus, 0) << result.err;
    }

    /// Starts the extension, waits for its last start-up line, checks that
    /// exactly `expected` was printed, and ends it with SIGTERM.
    void expectStartupLog(const std::vector<std::string>& expected) {
        Process extension({CORVANE_FINDERSYNC}, env);
        ASSERT_TRUE(extension.waitForLine(expected.back()))
            << extension.output() << extension.output(Stream::Stderr);
        EXPECT_EQ(extension.lines(), expected);
        extension.sendSignal(SIGTERM);
        EXPECT_EQ(extension.wait(), 0);
        EXPECT_EQ(extension.lines(), expected) << "printed more after start-up";
        EXPECT_EQ(extension.output(Stream::Stderr), "");
    }

    PrivateBus bus;
    TempDir dir;
    Environment env = isolatedEnvironment(bus, dir);
};

TEST_F(FinderSyncStartupTest, NoSettingsAtAll) {
    expectStartupLog({kEmptySharedLine, kDefaultsLine});
}

TEST_F(FinderSyncStartupTest, OptionsInTheSharedSettings) {
    companion({"options", "copyPath=true", "newTextFile=0", "label=text"});
    expectStartupLog(
        {R"([CorvaneExt] Loaded menu options: ["copyPath": true, "newTextFile": false])"});
}

TEST_F(FinderSyncStartupTest, OptionsInTheFileWinOverTheSharedSettings) {
    companion({"options", "copyPath=true"});
    companion({"options", "--file", "eye=2", "newTextFile=false"});
    expectStartupLog(
        {R"([CorvaneExt] Loaded menu options from file: ["eye": true, "newTextFile": false])"});
}

TEST_F(FinderSyncStartupTest, GrantedFoldersLoadFirstAndOneSinceRemovedFailsInOneLine) {
    std::string kept = dir / "Granted Folder", gone = dir / "Gone";
    std::filesystem::create_directory(kept);
    std::filesystem::create_directory(gone);
    companion({"grant", kept, "--key", "Docs"});
    companion({"grant", gone, "--key", "Gone"});
    // The same bookmark the companion stored, resolved here for its error text.
    auto bookmark = makeBookmarkData(gone);
    ASSERT_TRUE(bookmark);
    std::filesystem::remove(gone);
    auto failure = BookmarkSecurityScope().resolveBookmark(*bookmark);
    ASSERT_FALSE(failure);
    expectStartupLog({"Loaded secured URL: " + kept,
                      "Failed to resolve bookmark for Gone: " + failure.error().description,
                      kEmptySharedLine, kDefaultsLine});
}

TEST_F(FinderSyncStartupTest, ContainerRootIsARegularFile) {
    std::string root = dir / "not-a-folder";
    std::ofstream(root) << "x";
    env["CORVANE_GROUP_CONTAINERS"] = root;
    expectStartupLog({"[CorvaneExt] App Group container not available for group.Brenvo.Corvane",
                      kEmptySharedLine, kDefaultsLine});
}

TEST_F(FinderSyncStartupTest, WithoutASessionBusItSaysSoAndFails) {
    env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + (dir / "no-bus-here");
    CommandResult result = runCommand({CORVANE_FINDERSYNC}, env);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(result.err.starts_with("corvane-findersync: ")) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_TRUE(result.err.ends_with("\n")) << result.err;
}

TEST(FinderSyncBusTest, StopsWithAFailureWhenTheBusGoesAway) {
    auto bus = std::make_unique<PrivateBus>();
    TempDir dir;
    Process extension({CORVANE_FINDERSYNC}, isolatedEnvironment(*bus, dir));
    ASSERT_TRUE(extension.waitForLine(kDefaultsLine)) << extension.output(Stream::Stderr);
    bus.reset();
    EXPECT_EQ(extension.wait(), 1);
    EXPECT_EQ(extension.output(Stream::Stderr),
              "corvane-findersync: the session bus connection closed\n");
}

} // namespace
} // namespace corvane::testing
