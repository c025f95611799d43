// The two stand-ins as tools: what corvane-companion stores and prints, and
// how each class of wrong command line ends. What the extension makes of the
// stored settings is in findersync_test.cpp.

#include "tests/integration/end_to_end.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

// "options a=true b=1" -> {"options", "a=true", "b=1"}; '' is an empty word.
std::vector<std::string> words(std::string_view line) {
    std::vector<std::string> out;
    std::istringstream in{std::string(line)};
    for (std::string word; in >> word;)
        out.push_back(word == "''" ? "" : word);
    return out;
}

using CompanionTool = EndToEnd;

// Run in order: each command, then `read KEY` prints what it left.
TEST_F(CompanionTool, CommandsStoreWhatReadPrints) {
    const std::string here = fs::current_path().native();
    const std::tuple<std::string, const char*, std::string> steps[] = {
        {"running on", "appIsRunning", "true"},
        {"running clear", "appIsRunning", "null"},
        {"options t=true f=false n=-9223372036854775808 big=9223372036854775808 w=007x s=a=b "
         "c=\x01",
         "contextMenuOptions",
         R"({"t": true, "f": false, "n": -9223372036854775808, "big": "9223372036854775808", )"
         R"("w": "007x", "s": "a=b", "c": "\u0001"})"},
        {"options b=false", "contextMenuOptions", R"({"b": false})"}, // replaced, not merged
        {"options", "contextMenuOptions", "{}"},
        {"options --clear", "contextMenuOptions", "null"},
        {"options --file a=1", "contextMenuOptions", "null"}, // the file leaves the suite alone
        // After "--" an option's name is a PATH, relative to the current folder.
        {"execute --id R1 --base '' -- " + dir / "d/../b" + " --via", "batchRenameExecuteRequest",
         R"({"id": "R1", "baseName": "", "paths": [")" + dir / "b" + R"(", ")" + here +
             R"(/--via"]})"},
    };
    for (const auto& [command, key, printed] : steps) {
        companion(words(command));
        EXPECT_EQ(companion({"read", key}).out, printed + "\n") << command;
    }
    companion({"execute", "--base", "Photo", "--via", "record", "x"});
    const std::string record = companion({"read", "batchRenameExecuteRequest"}).out;
    EXPECT_EQ(record.find(R"(", "baseName")"), std::string_view(R"({"id": ")").size() + 36)
        << "a fresh UUID: " << record;
}

// A suite file written by another program, with every kind of value.
TEST_F(CompanionTool, ReadPrintsEachKindOfValueAsJson) {
    const std::string folder = dir / "containers/group.Brenvo.Corvane/Library/Preferences";
    fs::create_directories(folder);
    std::ofstream(folder + "/group.Brenvo.Corvane.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
           "<key>probe</key><dict><key>z</key><true/><key>a</key><array><integer>1</integer>"
           "<real>-2.5</real><real>3</real><integer>18446744073709551615</integer></array>"
           "<key>e</key><array/><key>s</key><string>q\"b\\\n\t\x7f\xC3\xA9</string>"
           "<key>d4</key><data>AP8QIA==</data><key>d2</key><data>YWI=</data>"
           "<key>epoch</key><date>2001-01-01T00:00:00Z</date></dict></dict></plist>";
    EXPECT_EQ(companion({"read", "probe"}).out,
              R"({"z": true, "a": [1, -2.5, 3.0, 18446744073709551615], "e": [], )"
              R"("s": "q\"b\\\n\t\u007fé", "d4": "AP8QIA==", "d2": "YWI=", )"
              R"("epoch": "2001-01-01T00:00:00Z"})"
              "\n");
}

// Each grant edits the one "securedDirectories" dictionary; two companions
// granting at the same moment must both find their entry kept.
TEST_F(CompanionTool, TwoGrantLoopsSideBySideKeepEveryEntry) {
    dir.makeFolder("granted");
    constexpr int kEach = 40;
    auto loop = [&](const std::string& prefix) {
        return std::make_unique<Process>(
            std::vector<std::string>{"sh", "-c",
                                     "for i in $(seq " + std::to_string(kEach) +
                                         "); do \"$0\" grant \"$1\" --key \"$2$i\" || exit 1; done",
                                     CORVANE_COMPANION, dir / "granted", prefix},
            env);
    };
    auto first = loop("a"), second = loop("b");
    EXPECT_EQ(first->wait(60s), 0) << first->output(Stream::Stderr);
    EXPECT_EQ(second->wait(60s), 0) << second->output(Stream::Stderr);
    const std::string map = companion({"read", "securedDirectories"}).out;
    for (std::string prefix : {"a", "b"})
        for (int i = 1; i <= kEach; ++i)
            EXPECT_NE(map.find("\"" + (prefix + std::to_string(i)) + "\": "), std::string::npos)
                << prefix << i;
}

// One command line for each class of mistake and of failure. Usage errors
// come before anything is read or written: the container root is a regular
// file and there is no bus, so a command that touched either would end in 1.
TEST_F(CompanionTool, EachClassOfCommandLineEndsInItsStatus) {
    const std::tuple<const char*, int, const char*, std::vector<const char*>> table[] = {
        {CORVANE_COMPANION,
         2,
         "usage: corvane-companion running",
         {"", "running maybe", "read a b", "options =value", "options --clear a=true",
          "grant /tmp --key", "listen --count 0", "execute --base B", "execute --bogus",
          "execute --base B /tmp/\xFF", "execute --base \xFF /tmp/a"}},
        {CORVANE_FINDER,
         2,
         "usage: corvane-finder menu",
         {"open", "choose", "perform copyPath: --json", "menu --kind x",
          "menu --target /a --no-target", "menu ''"}},
        {CORVANE_COMPANION, 1, "cannot", {"running on", "options --file a=true"}},
        {CORVANE_COMPANION, 1, "cannot make a bookmark of /absent", {"grant /absent"}},
        {CORVANE_COMPANION, 1, "session bus", {"listen --count 1"}},
        {CORVANE_FINDER, 1, "session bus", {"perform copyPath:"}},
        {CORVANE_FINDER, 1, "cannot paste: xclip: ", {"paste"}}, // a display that is not there
        {CORVANE_FINDERSYNC, 1, "corvane-findersync: ", {""}},
    };
    dir.writeFile("root", "not a folder");
    env["CORVANE_GROUP_CONTAINERS"] = dir / "root";
    env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + (dir / "no-bus");
    env["DISPLAY"] = ":4711";
    for (const auto& [tool, status, says, lines] : table) {
        for (const char* line : lines) {
            std::vector<std::string> argv = words(line);
            argv.insert(argv.begin(), tool);
            CommandResult result = runCommand(argv, env);
            EXPECT_EQ(result.exitStatus, status) << line << ": " << result.err;
            EXPECT_EQ(result.out, "") << line;
            EXPECT_TRUE(result.err.starts_with(fs::path(tool).filename().native() + ": "))
                << line << ": " << result.err;
            EXPECT_NE(result.err.find(says), std::string::npos) << line << ": " << result.err;
            // A failure is one line; the usage follows only a usage error.
            EXPECT_TRUE(status != 1 || std::count(result.err.begin(), result.err.end(), '\n') == 1)
                << result.err;
        }
    }
}

} // namespace
} // namespace corvane::testing
