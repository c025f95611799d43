#include "extension/companion_contract.h"
#include "platform/linux/bookmark_security_scope.h"
#include "platform/linux/dbus_notification_center.h"
#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/plist/plist_codec.h"
#include "platform/linux/plist_file_settings.h"
#include "tests/integration/process_harness.h"

#include <giomm/dbusconnection.h>
#include <giomm/init.h>
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace corvane {
namespace {

using namespace std::chrono_literals;
using testing::CommandResult;
using testing::Environment;
using testing::Process;
using testing::Stream;
using testing::TempDir;

namespace fs = std::filesystem;

const std::string kSuite(contract::kAppGroupId);

std::string toUpper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// "options a=true b=1" -> {"options", "a=true", "b=1"}
std::vector<std::string> words(std::string_view line) {
    std::vector<std::string> out;
    std::istringstream in{std::string(line)};
    for (std::string word; in >> word;)
        out.push_back(word);
    return out;
}

// One temporary App Group root per test; the tool and the test share it.
class CompanionTool : public ::testing::Test {
  protected:
    CompanionTool() {
        env = testing::currentEnvironment();
        env["CORVANE_GROUP_CONTAINERS"] = root();
        env["HOME"] = dir.path();
    }

    std::string root() const { return dir / "containers"; }
    std::string containerFolder() const { return root() + "/" + kSuite; }

    CommandResult companion(std::vector<std::string> args) {
        args.insert(args.begin(), CORVANE_COMPANION);
        return testing::runCommand(std::move(args), env);
    }

    // The suite as the extension sees it, read from the file independently.
    std::unique_ptr<SettingsSuite> suite() {
        containers = std::make_unique<DirectoryAppGroupContainers>(root());
        provider = std::make_unique<PlistFileSettingsProvider>(*containers,
                                                               std::make_shared<PlistFileCache>());
        return provider->openSuite(kSuite);
    }

    TempDir dir;
    Environment env;
    std::unique_ptr<DirectoryAppGroupContainers> containers;
    std::unique_ptr<PlistFileSettingsProvider> provider;
};

// ---------------------------------------------------------------- settings commands

TEST_F(CompanionTool, SettingsCommandsStoreWhatTheExtensionReads) {
    const auto kRunning = contract::kAppRunningKey, kOptions = contract::kMenuOptionsKey;
    // Run in order; each leaves `key` holding `expected` (none: removed).
    const std::tuple<const char*, std::string_view, std::optional<PlistValue>> steps[] = {
        {"running on", kRunning, true},
        {"running off", kRunning, false},
        {"running clear", kRunning, {}},
        {"options newTextFile=true copyPath=0 zeta=false label=a=b big=-9223372036854775808 "
         "huge=9223372036854775808 word=007x",
         kOptions,
         PlistDictionary{{"newTextFile", true},
                         {"copyPath", 0},
                         {"zeta", false},
                         {"label", "a=b"},
                         {"big", std::numeric_limits<std::int64_t>::min()},
                         {"huge", "9223372036854775808"},
                         {"word", "007x"}}},
        {"options b=false", kOptions, PlistDictionary{{"b", false}}}, // replaced, not merged
        {"options", kOptions, PlistDictionary{}},
        {"options --clear", kOptions, {}},
        {"options --file a=true", kOptions, {}}, // the file leaves the suite alone
    };
    for (const auto& [command, key, expected] : steps) {
        auto result = companion(words(command));
        ASSERT_EQ(result.exitStatus, 0) << command << ": " << result.err;
        auto stored = suite();
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->objectForKey(key), expected) << command;
    }
}

TEST_F(CompanionTool, OptionsFileIsAnXmlPropertyListAndClearRemovesIt) {
    auto result = companion({"options", "--file", "copyPath=true", "newTextFile=0"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    std::string path = containerFolder() + "/" + std::string(contract::kMenuOptionsFileName);
    std::ifstream in(path);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    EXPECT_TRUE(text.starts_with("<?xml")) << text;
    auto value = plist::read(text);
    ASSERT_TRUE(value) << value.error().description;
    EXPECT_EQ(*value, PlistValue(PlistDictionary{{"copyPath", true}, {"newTextFile", 0}}));
    // Nothing but the file is left behind in the container.
    EXPECT_EQ(std::distance(fs::directory_iterator(containerFolder()), fs::directory_iterator()),
              1);

    ASSERT_EQ(companion({"options", "--file", "--clear"}).exitStatus, 0);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(companion({"options", "--clear", "--file"}).exitStatus, 0) << "clearing twice";
}

TEST_F(CompanionTool, GrantStoresResolvableBookmarksAndRevokeRemovesOne) {
    fs::create_directories(dir / "granted");
    fs::create_directories(dir / "other");
    ASSERT_EQ(companion({"grant", dir / "granted/"}).exitStatus, 0);
    ASSERT_EQ(companion({"grant", dir / "other/../other", "--key", "Other"}).exitStatus, 0);

    auto map = suite()->dictionaryForKey(contract::kSecuredDirectoriesKey);
    ASSERT_TRUE(map);
    ASSERT_EQ(map->size(), 2u);
    BookmarkSecurityScope scope;
    const std::pair<std::string, std::string> expected[] = {{dir / "granted", dir / "granted"},
                                                            {"Other", dir / "other"}};
    for (const auto& [key, path] : expected) {
        const PlistValue* bookmark = map->find(key);
        ASSERT_TRUE(bookmark && bookmark->isData()) << key;
        auto resolved = scope.resolveBookmark(bookmark->asData().bytes);
        ASSERT_TRUE(resolved) << resolved.error().description;
        EXPECT_EQ(resolved->url.path(), path);
    }

    ASSERT_EQ(companion({"revoke", dir / "granted"}).exitStatus, 0);
    map = suite()->dictionaryForKey(contract::kSecuredDirectoriesKey);
    ASSERT_TRUE(map);
    EXPECT_EQ(map->size(), 1u);
    EXPECT_TRUE(map->contains("Other"));

    EXPECT_EQ(companion({"revoke", "Missing"}).exitStatus, 1);
    EXPECT_EQ(companion({"grant", dir / "absent"}).exitStatus, 1);
}

// Each grant edits the one "securedDirectories" dictionary; two companions
// granting at the same moment must both find their entry kept.
TEST_F(CompanionTool, TwoGrantLoopsSideBySideKeepEveryEntry) {
    fs::create_directories(dir / "granted");
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

    auto map = suite()->dictionaryForKey(contract::kSecuredDirectoriesKey);
    ASSERT_TRUE(map);
    EXPECT_EQ(map->size(), 2u * kEach);
    for (const char* prefix : {"a", "b"})
        for (int i = 1; i <= kEach; ++i)
            EXPECT_TRUE(map->contains(prefix + std::to_string(i))) << prefix << i;
}

TEST_F(CompanionTool, ExecuteStoresTheRecordTheExtensionPolls) {
    fs::create_directories(dir / "d");
    auto result = companion({"execute", "--id", "R1", "--base", "", "--", dir / "d/b.txt",
                             dir / "d/../d/a.txt", "--via"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    // After "--" an option's name is a path, relative to the current folder.
    const PlistValue expected =
        PlistDictionary{{"id", "R1"},
                        {"baseName", ""},
                        {"paths", PlistArray{dir / "d/b.txt", dir / "d/a.txt",
                                             (fs::current_path() / "--via").native()}}};
    EXPECT_EQ(suite()->objectForKey(contract::kBatchRenameExecuteKey), expected);

    ASSERT_EQ(companion({"execute", "--base", "Photo", "--via", "record", dir / "x"}).exitStatus,
              0);
    auto record = suite()->dictionaryForKey(contract::kBatchRenameExecuteKey);
    ASSERT_TRUE(record && record->find("id") && record->find("id")->isString());
    const std::string& id = record->find("id")->asString();
    EXPECT_EQ(id.size(), 36u);
    EXPECT_EQ(id, toUpper(id)) << "a fresh upper-case UUID";
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
    auto result = companion({"read", "probe"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, R"({"z": true, "a": [1, -2.5, 3.0, 18446744073709551615], "e": [], )"
                          R"("s": "q\"b\\\n\t\u0001\u007fé", "d4": "AP8QIA==", "d2": "YWI=", )"
                          R"("epoch": "2001-01-01T00:00:00Z", "unix": "1970-01-01T00:00:00Z", )"
                          R"("leap": "2000-02-29T01:02:03Z"})"
                          "\n");
    result = companion({"read", "nothing"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, "null\n");
}

// ---------------------------------------------------------------- failures

class UsageErrors : public CompanionTool, public ::testing::WithParamInterface<const char*> {};

TEST_P(UsageErrors, ExitTwoWithTheUsage) {
    auto result = companion(words(GetParam()));
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_NE(result.err.find("usage: corvane-companion"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(containerFolder() + "/Library/Preferences/" + kSuite + ".plist"));
}

// Strings that are not UTF-8 where a key, value, path or name must be text.
INSTANTIATE_TEST_SUITE_P(
    Companion, UsageErrors,
    ::testing::Values("", "bogus", "running", "running maybe", "options noEquals", "options =value",
                      "options --clear a=true", "options --files a=true", "options \xFF=true",
                      "options label=\xC3\x28", "grant", "grant /tmp --key", "grant /tmp/\xFF",
                      "revoke", "read", "read a b", "read \xFF", "listen --count 0",
                      "listen --count -1", "listen --timeout soon", "listen --timeout",
                      "listen \xFF", "execute", "execute /tmp/a", "execute --base",
                      "execute --base B", "execute --base B --via pigeon /tmp/a",
                      "execute --base B --via notification --id X /tmp/a",
                      "execute --base \xFF /tmp/a", "execute --base B /tmp/\xFF",
                      "execute --bogus"));

TEST_F(CompanionTool, AContainerRootThatIsAFileFailsEveryCommandWithExitOne) {
    std::ofstream(root()) << "not a folder";
    fs::create_directories(dir / "granted");
    for (std::string command :
         std::vector<std::string>{"running on", "options a=true", "options --file a=true",
                                  "grant " + (dir / "granted"), "revoke k", "read appIsRunning"}) {
        auto result = companion(words(command));
        EXPECT_EQ(result.exitStatus, 1) << command << ": " << result.err;
        EXPECT_NE(result.err.find("cannot"), std::string::npos) << result.err;
    }
}

TEST_F(CompanionTool, ListenWithoutASessionBusExitsOne) {
    env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + (dir / "no-bus");
    auto result = companion({"listen", "--count", "1"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("session bus"), std::string::npos) << result.err;
}

// ---------------------------------------------------------------- listen

class CompanionListen : public CompanionTool {
  protected:
    void SetUp() override {
        env = testing::isolatedEnvironment(bus, dir);
        Gio::init();
        connection = Gio::DBus::Connection::create_for_address_sync(
            bus.address(), Gio::DBus::ConnectionFlags::AUTHENTICATION_CLIENT |
                               Gio::DBus::ConnectionFlags::MESSAGE_BUS_CONNECTION);
        connection->set_exit_on_close(false);
        center = std::make_unique<DBusNotificationCenter>(connection);
    }
    void TearDown() override {
        center.reset();
        connection->close_sync();
    }

    std::unique_ptr<Process> startListening(std::vector<std::string> args) {
        args.insert(args.begin(), {CORVANE_COMPANION, "listen"});
        auto process = std::make_unique<Process>(std::move(args), env);
        EXPECT_TRUE(process->waitForLine("listening", 10s, Stream::Stderr))
            << process->output(Stream::Stderr);
        return process;
    }

    void post(std::string_view name, const PlistDictionary& userInfo) {
        center->post(name, userInfo);
        connection->flush_sync();
    }

    testing::PrivateBus bus;
    Glib::RefPtr<Gio::DBus::Connection> connection;
    std::unique_ptr<DBusNotificationCenter> center;
};

TEST_F(CompanionListen, PrintsTheNamedNotificationsUntilTheCount) {
    auto listener =
        startListening({"--count", "2", "Corvane.BatchRenameResult", "Corvane.HiddenFilesToggle"});
    post("Corvane.Other", {{"skipped", true}});
    post("Corvane.BatchRenameResult",
         {{"successCount", 2},
          {"failures", PlistArray{PlistDictionary{{"path", "/a\"b"}, {"error", "exists"}}}},
          {"ratio", 0.5},
          {"raw", PlistData{"\xFF"}},
          {"text", "\xFF not text"},
          {"when", PlistDate{86400.25}}});
    post("Corvane.HiddenFilesToggle", {});
    ASSERT_EQ(listener->wait(10s), 0) << listener->output(Stream::Stderr);
    EXPECT_EQ(listener->lines(),
              (std::vector<std::string>{
                  R"({"name": "Corvane.BatchRenameResult", "userInfo": {"successCount": 2, )"
                  R"("failures": [{"path": "/a\"b", "error": "exists"}], "ratio": 0.5, )"
                  R"("raw": "/w==", "text": "/yBub3QgdGV4dA==", )"
                  R"("when": "2001-01-02T00:00:00.250Z"}})",
                  R"({"name": "Corvane.HiddenFilesToggle", "userInfo": {}})"}));
}

TEST_F(CompanionListen, TimeoutBeforeTheCountExitsOne) {
    // Without names every notification is printed.
    auto listener = startListening({"--count", "2", "--timeout", "0.3"});
    post("Corvane.A", {{"k", "v"}});
    EXPECT_EQ(listener->wait(10s), 1);
    EXPECT_EQ(listener->lines(),
              std::vector<std::string>{R"({"name": "Corvane.A", "userInfo": {"k": "v"}})"});
    EXPECT_NE(listener->output(Stream::Stderr).find("timed out after 1 of 2"), std::string::npos);
}

} // namespace
} // namespace corvane
