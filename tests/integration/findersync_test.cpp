// corvane-findersync end to end: what it makes of the settings
// corvane-companion stores, the menus and refusals corvane-finder gets from
// it, and how it ends.

#include "tests/integration/end_to_end.h"

#include <csignal>

namespace corvane::testing {
namespace {

using FinderSyncProcess = EndToEnd;

TEST_F(FinderSyncProcess, ServesWhatTheCompanionStoredRefusesWhatItCannotDoAndEndsOnSigterm) {
    auto fails = [&](std::vector<std::string> args, const std::string& says) {
        CommandResult result = finder(std::move(args));
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_NE(result.err.find(says), std::string::npos) << result.err;
    };
    auto menu = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "menu");
        CommandResult result = finder(std::move(args));
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        return result.out;
    };
    fails({"menu"}, "not running");
    // Bookmarks keep the folder's path as text: "." and ".." resolved, no trailing slash.
    const std::string granted = dir.makeFolder("Granted").path();
    dir.makeFolder("gone");
    companion({"grant", dir / "gone/../Granted", "--key", "Docs"});
    companion({"grant", dir / "gone/"});
    companion({"revoke", dir / "gone"});
    companion({"revoke", dir / "gone"}, 1);
    companion({"options", "--file", "copyPath=1", "newTextFile=false", "newITermHere=true"});
    EXPECT_TRUE(dir.readFile("containers/group.Brenvo.Corvane/MenuOptions.plist")
                    .starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    startExtension();
    EXPECT_EQ(extension->lines(),
              (std::vector<std::string>{
                  "Loaded secured URL: " + granted,
                  "[CorvaneExt] Loaded menu options from file: "
                  R"(["copyPath": true, "newTextFile": false, "newITermHere": true])"}));

    EXPECT_EQ(menu({}), "no menu\n");
    EXPECT_EQ(menu({"--json"}), "null\n");
    companion({"running", "on"});
    EXPECT_EQ(menu({"--no-target", "--kind", "2"}),
              "New iTerm2 Window Here (disabled)\nCopy Path\n");
    fails({"choose", "New iTerm2 Window Here"}, "no enabled item");
    companion({"options", "--file", "--clear"});
    companion({"options", "--clear", "--file"}); // nothing left to remove
    // File names need not be UTF-8: they travel as bytes.
    EXPECT_EQ(menu({"--target", dir / "caf\xe9", "n\xff\xfe"}),
              "Corvane+ settings not found (disabled)\n---\nNew Text File\n");
    EXPECT_EQ(
        menu({"--json"}),
        R"({"title": "", "items": [{"title": "Corvane+ settings not found", "action": null, )"
        R"("symbol": null, "enabled": false}, {"separator": true}, )"
        R"({"title": "New Text File", "action": "createNewTextFile:", "symbol": "doc.badge.plus", )"
        R"("enabled": true}]})"
        "\n");

    companion({"running", "off"});
    EXPECT_EQ(menu({}), "no menu\n");
    companion({"running", "on"});
    fails({"perform", "noSuchAction:", "/tmp/a"}, "Brenvo.Corvane.FinderSync.Error.UnknownAction");
    // A second instance finds the name taken and stops before its start-up prints anything.
    CommandResult second = runCommand({CORVANE_FINDERSYNC}, env);
    EXPECT_EQ(second.exitStatus, 1);
    EXPECT_EQ(second.out + second.err, "corvane-findersync: cannot own the bus name "
                                       "Brenvo.Corvane.FinderSync: another process owns it\n");
    extension->sendSignal(SIGTERM);
    EXPECT_EQ(extension->wait(), 0);
    EXPECT_EQ(extension->output(Stream::Stderr), "");
}

TEST_F(FinderSyncProcess, WithoutAContainerItUsesTheDefaultsAndStopsWhenTheBusGoesAway) {
    dir.writeFile("not-a-folder", "x");
    env["CORVANE_GROUP_CONTAINERS"] = dir / "not-a-folder";
    startExtension();
    ownBus.reset();
    EXPECT_EQ(extension->wait(), 1);
    EXPECT_EQ(
        extension->lines(),
        (std::vector<std::string>{
            "[CorvaneExt] App Group container not available for group.Brenvo.Corvane",
            "[CorvaneExt] Loaded menu options: [:]",
            R"([CorvaneExt] Using default menu options: ["newTextFile": true, "newTerminalHere": false, )"
            R"("newITermHere": false, "copyPath": false, "batchRename": false, )"
            R"("toggleHiddenFiles": false, "openInVSCode": false])"}));
    EXPECT_EQ(extension->output(Stream::Stderr),
              "corvane-findersync: the session bus connection closed\n");
}

} // namespace
} // namespace corvane::testing
