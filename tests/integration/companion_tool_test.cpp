// corvane-companion against the shared settings as the extension reads them,
// its notifications on a private bus, and the command lines of both tools.

#include "extension/companion_contract.h"
#include "platform/linux/bookmark_security_scope.h"
#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/plist_file_settings.h"
#include "platform/plist/plist_codec.h"
#include "tests/integration/end_to_end.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

const std::string kSuite(contract::kAppGroupId);

// "options a=true b=1" -> {"options", "a=true", "b=1"}; '' is an empty word.
std::vector<std::string> words(std::string_view line) {
    std::vector<std::string> out;
    std::istringstream in{std::string(line)};
    for (std::string word; in >> word;)
        out.push_back(word == "''" ? "" : word);
    return out;
}

class CompanionTool : public EndToEnd {
  protected:
    /// The suite as the extension sees it, read from the file independently.
    std::unique_ptr<SettingsSuite> suite() const {
        DirectoryAppGroupContainers containers(env.at("CORVANE_GROUP_CONTAINERS"));
        return PlistFileSettingsProvider(containers, std::make_shared<PlistFileCache>())
            .openSuite(kSuite);
    }
    std::optional<PlistDictionary> securedDirectories() const {
        return suite()->dictionaryForKey(contract::kSecuredDirectoriesKey);
    }
};

TEST_F(CompanionTool, SettingsCommandsStoreWhatTheExtensionReads) {
    const auto kRunning = contract::kAppRunningKey, kOptions = contract::kMenuOptionsKey;
    const std::string file =
        "containers/" + kSuite + "/" + std::string(contract::kMenuOptionsFileName);
    // Run in order; each leaves `key` holding `stored` and the options file
    // holding `inFile` (none: removed, or not there).
    const std::tuple<const char*, std::string_view, std::optional<PlistValue>,
                     std::optional<PlistValue>>
        steps[] = {
            {"running on", kRunning, true, {}},
            {"running off", kRunning, false, {}},
            {"running clear", kRunning, {}, {}},
            {"options newTextFile=true copyPath=0 zeta=false label=a=b big=-9223372036854775808 "
             "huge=9223372036854775808 word=007x",
             kOptions,
             PlistDictionary{{"newTextFile", true},
                             {"copyPath", 0},
                             {"zeta", false},
                             {"label", "a=b"},
                             {"big", std::numeric_limits<std::int64_t>::min()},
                             {"huge", "9223372036854775808"},
                             {"word", "007x"}},
             {}},
            {"options b=false",
             kOptions,
             PlistDictionary{{"b", false}},
             {}}, // replaced, not merged
            {"options", kOptions, PlistDictionary{}, {}},
            {"options --clear", kOptions, {}, {}},
            // The file leaves the suite alone.
            {"options --file copyPath=true newTextFile=0",
             kOptions,
             {},
             PlistDictionary{{"copyPath", true}, {"newTextFile", 0}}},
            {"options --file --clear", kOptions, {}, {}},
            {"options --clear --file", kOptions, {}, {}}, // clearing twice
        };
    for (const auto& [command, key, stored, inFile] : steps) {
        SCOPED_TRACE(command);
        companion(words(command));
        EXPECT_EQ(suite()->objectForKey(key), stored);
        const std::string text = dir.readFile(file);
        EXPECT_EQ(fs::exists(dir / file), inFile.has_value());
        if (inFile) {
            EXPECT_TRUE(text.starts_with("<?xml")) << text;
            auto value = plist::read(text);
            EXPECT_TRUE(value && *value == *inFile) << text;
        }
    }
}

TEST_F(CompanionTool, GrantStoresResolvableBookmarksAndRevokeRemovesOne) {
    dir.makeFolder("granted");
    dir.makeFolder("other");
    companion({"grant", dir / "granted/"});
    companion({"grant", dir / "other/../other", "--key", "Other"});
    auto map = securedDirectories();
    ASSERT_TRUE(map);
    ASSERT_EQ(map->size(), 2u);
    for (const auto& [key, path] : {std::pair{dir / "granted", dir / "granted"},
                                    std::pair{std::string("Other"), dir / "other"}}) {
        const PlistValue* bookmark = map->find(key);
        ASSERT_TRUE(bookmark && bookmark->isData()) << key;
        auto resolved = BookmarkSecurityScope().resolveBookmark(bookmark->asData().bytes);
        ASSERT_TRUE(resolved) << resolved.error().description;
        EXPECT_EQ(resolved->url.path(), path);
    }
    companion({"revoke", dir / "granted"});
    map = securedDirectories();
    EXPECT_TRUE(map && map->size() == 1 && map->contains("Other"));
    companion({"revoke", "Missing"}, 1);
    companion({"grant", dir / "absent"}, 1);
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
    auto map = securedDirectories();
    ASSERT_TRUE(map);
    EXPECT_EQ(map->size(), 2u * kEach);
    for (const char* prefix : {"a", "b"})
        for (int i = 1; i <= kEach; ++i)
            EXPECT_TRUE(map->contains(prefix + std::to_string(i))) << prefix << i;
}

TEST_F(CompanionTool, ExecuteStoresTheRecordTheExtensionPolls) {
    dir.makeFolder("d");
    companion({"execute", "--id", "R1", "--base", "", "--", dir / "d/b.txt", dir / "d/../d/a.txt",
               "--via"});
    // After "--" an option's name is a path, relative to the current folder.
    EXPECT_EQ(suite()->objectForKey(contract::kBatchRenameExecuteKey),
              PlistValue(
                  PlistDictionary{{"id", "R1"},
                                  {"baseName", ""},
                                  {"paths", PlistArray{dir / "d/b.txt", dir / "d/a.txt",
                                                       (fs::current_path() / "--via").native()}}}));

    companion({"execute", "--base", "Photo", "--via", "record", dir / "x"});
    auto record = suite()->dictionaryForKey(contract::kBatchRenameExecuteKey);
    ASSERT_TRUE(record && record->find("id") && record->find("id")->isString());
    EXPECT_EQ(record->find("id")->asString().size(), 36u) << "a fresh UUID";
}

TEST_F(CompanionTool, ReadPrintsTheStoredValueAsJson) {
    const PlistDictionary stored{{"z", true},
                                 {"a", PlistArray{1, -2.5, 3.0, UINT64_MAX}},
                                 {"e", PlistArray{}},
                                 {"s", "q\"b\\\n\t\x01\x7f\xC3\xA9"},
                                 {"d4", PlistData{std::string("\0\xFF\x10\x20", 4)}},
                                 {"d2", PlistData{"ab"}},
                                 {"epoch", PlistDate{0}},
                                 {"unix", PlistDate{-978307200.0}},
                                 {"leap", PlistDate{951782400.0 - 978307200.0 + 3723.0}}};
    ASSERT_TRUE(suite()->setObject(stored, "probe"));
    EXPECT_EQ(companion({"read", "probe"}).out,
              R"({"z": true, "a": [1, -2.5, 3.0, 18446744073709551615], "e": [], )"
              R"("s": "q\"b\\\n\t\u0001\u007fé", "d4": "AP8QIA==", "d2": "YWI=", )"
              R"("epoch": "2001-01-01T00:00:00Z", "unix": "1970-01-01T00:00:00Z", )"
              R"("leap": "2000-02-29T01:02:03Z"})"
              "\n");
    EXPECT_EQ(companion({"read", "nothing"}).out, "null\n");
}

// Names, counts and a listener's filter are also heard end to end with the
// extension; here a notification from another program, and a timeout.
TEST_F(CompanionTool, ListenPrintsWhatAnyProgramPostsElseTimesOut) {
    auto any = listen({});
    auto waiting = listen({"--timeout", "0.2", "Corvane.Never"});
    CommandResult emitted = runCommand(
        {"gdbus", "emit", "--session", "--object-path", "/Brenvo/Corvane/DistributedNotifications",
         "--signal", "Brenvo.Corvane.DistributedNotifications.Notification", "'Corvane.B'",
         R"({'n': <int64 2>, 'list': <[<'/a"b'>, <0.5>]>})"},
        env);
    ASSERT_EQ(emitted.exitStatus, 0) << emitted.err;
    EXPECT_EQ(any->wait(), 0) << any->output(Stream::Stderr);
    EXPECT_EQ(any->lines(), std::vector<std::string>{R"({"name": "Corvane.B", "userInfo": )"
                                                     R"({"n": 2, "list": ["/a\"b", 0.5]}})"});
    EXPECT_EQ(waiting->wait(), 1);
    EXPECT_EQ(waiting->output(), "");
    EXPECT_NE(waiting->output(Stream::Stderr).find("timed out after 0 of 1"), std::string::npos);
}

// Each command line ends in its exit status. Usage errors come before
// anything is read or written: the container root is a regular file and
// there is no bus, so a command that touched either would end in 1.
TEST_F(CompanionTool, CommandLinesOfBothToolsEndInTheirStatus) {
    struct CommandLines {
        const char* tool;
        int status;
        const char* says;
        std::vector<const char*> lines;
    };
    const CommandLines table[] = {
        // Among them strings that are not UTF-8 where a key, value, path or name must be text.
        {CORVANE_COMPANION,
         2,
         "usage: corvane-companion",
         {"",
          "bogus",
          "running",
          "running maybe",
          "options noEquals",
          "options =value",
          "options --clear a=true",
          "options --files a=true",
          "options \xFF=true",
          "options label=\xC3\x28",
          "grant",
          "grant /tmp --key",
          "grant /tmp/\xFF",
          "revoke",
          "read",
          "read a b",
          "read \xFF",
          "listen --count 0",
          "listen --count -1",
          "listen --timeout soon",
          "listen --timeout",
          "listen \xFF",
          "execute",
          "execute /tmp/a",
          "execute --base",
          "execute --base B",
          "execute --base B --via pigeon /tmp/a",
          "execute --base B --via notification --id X /tmp/a",
          "execute --base \xFF /tmp/a",
          "execute --base B /tmp/\xFF",
          "execute --bogus"}},
        {CORVANE_FINDER,
         2,
         "usage: corvane-finder menu",
         {"", "open", "menu --kind x", "menu --target", "menu --target /a --no-target", "choose",
          "perform copyPath: --json", "menu ''", "paste x"}},
        {CORVANE_COMPANION,
         1,
         "cannot",
         {"running on", "options a=true", "options --file a=true", "grant /", "revoke k",
          "read appIsRunning"}},
        {CORVANE_COMPANION, 1, "session bus", {"listen --count 1"}},
        {CORVANE_FINDER, 1, "session bus", {"perform copyPath:"}},
        {CORVANE_FINDER, 1, "cannot paste: xclip: ", {"paste"}}, // a display that is not there
    };
    dir.writeFile("root", "not a folder");
    env["CORVANE_GROUP_CONTAINERS"] = dir / "root";
    env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + (dir / "no-bus");
    env["DISPLAY"] = ":4711";
    for (const CommandLines& group : table) {
        for (const char* line : group.lines) {
            std::vector<std::string> argv = words(line);
            argv.insert(argv.begin(), group.tool);
            CommandResult result = runCommand(argv, env);
            EXPECT_EQ(result.exitStatus, group.status) << line << ": " << result.err;
            EXPECT_NE(result.err.find(group.says), std::string::npos) << line << ": " << result.err;
        }
    }
}

} // namespace
} // namespace corvane::testing
