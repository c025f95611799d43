#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/plist_codec.h"
#include "platform/linux/plist_file_settings.h"
#include "tests/platform/temp_folder_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::writeBytes;

constexpr std::string_view kSuite = "group.Test.Settings";

std::string randomBytes(std::size_t n, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(n, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator());
    return bytes;
}

/// Suites are opened through fresh providers, as separate processes would open them.
class SettingsFileTest : public testing::TempFolderTest {
  protected:
    std::unique_ptr<SettingsSuite> open(std::string_view suite = kSuite) {
        DirectoryAppGroupContainers containers((dir_ / "containers").string());
        return PlistFileSettingsProvider(containers).openSuite(suite);
    }
    fs::path preferences() const {
        return dir_ / "containers" / kSuite / "Library" / "Preferences";
    }
    fs::path suiteFile() const { return preferences() / (std::string(kSuite) + ".plist"); }
    std::vector<std::string> entriesContaining(std::string_view part) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(preferences()))
            if (entry.path().filename().string().find(part) != std::string::npos)
                names.push_back(entry.path().filename().string());
        return names;
    }
    PlistDictionary fileContents() const {
        auto value = plist::read(readBytes(suiteFile()));
        EXPECT_TRUE(value && value->isDictionary());
        return value && value->isDictionary() ? value->asDictionary() : PlistDictionary{};
    }
};

TEST_F(SettingsFileTest, WritesAreSeenByAnotherProviderAndStoredAsBinary) {
    auto writer = open();
    ASSERT_TRUE(writer);
    PlistDictionary options{{"newTextFile", true}, {"copyPath", false}};
    ASSERT_TRUE(writer->setObject(true, "appIsRunning"));
    ASSERT_TRUE(writer->setObject(options, "contextMenuOptions"));
    EXPECT_TRUE(writer->boolForKey("appIsRunning"));

    auto reader = open();
    ASSERT_TRUE(reader);
    EXPECT_TRUE(reader->boolForKey("appIsRunning"));
    EXPECT_EQ(reader->dictionaryForKey("contextMenuOptions"), options);
    EXPECT_EQ(readBytes(suiteFile()).substr(0, 8), "bplist00");

    ASSERT_TRUE(reader->removeObject("appIsRunning"));
    EXPECT_FALSE(reader->objectForKey("appIsRunning"));
    EXPECT_TRUE(writer->boolForKey("appIsRunning")) << "reads come from the snapshot";
    EXPECT_TRUE(writer->synchronize());
    EXPECT_FALSE(writer->objectForKey("appIsRunning"));
    EXPECT_EQ(writer->dictionaryForKey("contextMenuOptions"), options);
}

TEST_F(SettingsFileTest, SnapshotSeesAnotherWriterOnlyAfterSynchronizeOrOwnWrite) {
    auto mine = open();
    auto theirs = open();
    ASSERT_TRUE(mine && theirs);
    ASSERT_TRUE(theirs->setObject("abc", "batchRenameRequest"));
    EXPECT_FALSE(mine->objectForKey("batchRenameRequest"));
    ASSERT_TRUE(mine->synchronize());
    EXPECT_EQ(mine->objectForKey("batchRenameRequest"), PlistValue("abc"));

    ASSERT_TRUE(theirs->setObject(1, "theirs"));
    ASSERT_TRUE(mine->setObject(2, "mine")); // re-reads: their key survives and is seen
    EXPECT_EQ(fileContents(),
              (PlistDictionary{{"batchRenameRequest", "abc"}, {"theirs", 1}, {"mine", 2}}));
    EXPECT_EQ(mine->objectForKey("theirs"), PlistValue(1));
}

TEST_F(SettingsFileTest, XmlFileWrittenBySomeoneElseIsRead) {
    ASSERT_TRUE(open());
    auto xml = plist::writeXml(PlistDictionary{{"appIsRunning", true}});
    ASSERT_TRUE(xml);
    writeBytes(suiteFile(), *xml);
    EXPECT_TRUE(open()->boolForKey("appIsRunning"));
}

TEST_F(SettingsFileTest, TwoProcessesWritingAtOnceLoseNoKey) {
    ASSERT_TRUE(open());
    constexpr int kKeys = 200;
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    std::vector<pid_t> children;
    for (int writer = 0; writer < 2; ++writer) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(gate[1]);
            char byte;
            (void)!::read(gate[0], &byte, 1); // returns when the parent closes the gate
            auto suite = open();
            int failures = suite ? 0 : 1;
            for (int i = 0; suite && i < kKeys; ++i)
                if (!suite->setObject(i, "w" + std::to_string(writer) + "-" + std::to_string(i)))
                    ++failures;
            ::_exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    ::close(gate[0]);
    ::close(gate[1]);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    PlistDictionary stored = fileContents();
    EXPECT_EQ(stored.size(), 2u * kKeys);
    for (int writer = 0; writer < 2; ++writer)
        for (int i = 0; i < kKeys; ++i)
            EXPECT_TRUE(stored.contains("w" + std::to_string(writer) + "-" + std::to_string(i)))
                << "writer " << writer << " key " << i;
}

TEST_F(SettingsFileTest, ReadersAndAKilledWriterOnlyEverSeeWholeFiles) {
    constexpr std::size_t kPayloadSize = 256 * 1024;
    auto payloadFor = [&](std::int64_t generation) {
        return PlistValue(PlistDictionary{
            {"generation", generation},
            {"bytes",
             PlistData{std::string(kPayloadSize, static_cast<char>('A' + generation % 26))}}});
    };
    // Empty when the file holds one whole payload, else what is wrong with it.
    auto defect = [&]() -> std::string {
        auto value = plist::read(readBytes(suiteFile()));
        if (!value || !value->isDictionary())
            return "unreadable file";
        const PlistValue* payload = value->asDictionary().find("payload");
        if (!payload || !payload->isDictionary() || !payload->asDictionary().contains("generation"))
            return "no payload";
        const PlistValue& generation = *payload->asDictionary().find("generation");
        return generation.isInteger() && *payload == payloadFor(generation.asInteger())
                   ? ""
                   : "mixed payload";
    };
    ASSERT_TRUE(open()->setObject(payloadFor(0), "payload"));

    for (int delayMs : {0, 2, 5, 10, 20, 40, 80}) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            auto suite = open();
            for (std::int64_t generation = 1;; ++generation)
                (void)suite->setObject(payloadFor(generation), "payload");
        }
        auto killAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs);
        std::string seen;
        while (seen.empty() && std::chrono::steady_clock::now() < killAt)
            seen = defect();
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        EXPECT_EQ(seen, "") << "while writing, before the kill at " << delayMs << " ms";
        EXPECT_EQ(defect(), "") << "after the kill at " << delayMs << " ms";
    }

    // A killed writer may leave its temporary file; the next writer, holding
    // the lock, knows no one else can be writing and clears them.
    ASSERT_TRUE(open()->setObject(true, "appIsRunning"));
    EXPECT_TRUE(entriesContaining(".tmp-").empty());
}

TEST_F(SettingsFileTest, ContainerThatCannotBeMadeOpensNoSuite) {
    writeBytes(dir_ / "containers", "a regular file");
    EXPECT_EQ(open(), nullptr);
}

TEST_F(SettingsFileTest, PreferencesFolderThatCannotBeMadeOpensNoSuite) {
    fs::create_directories(dir_ / "containers" / kSuite);
    writeBytes(dir_ / "containers" / kSuite / "Library", "a regular file");
    EXPECT_EQ(open(), nullptr);
}

TEST_F(SettingsFileTest, FailedWriteReportsReadableTextAndKeepsTheFile) {
    auto suite = open();
    ASSERT_TRUE(suite->setObject(1, "kept"));
    std::string before = readBytes(suiteFile());

    auto badKey = suite->setObject(true, "\xff\xfe");
    ASSERT_FALSE(badKey);
    EXPECT_FALSE(badKey.error().description.empty());
    EXPECT_EQ(readBytes(suiteFile()), before);

    fs::remove(suiteFile());
    fs::create_directory(suiteFile());
    auto blocked = suite->setObject(true, "appIsRunning");
    ASSERT_FALSE(blocked);
    EXPECT_NE(blocked.error().description.find("Is a directory"), std::string::npos)
        << blocked.error().description;
}

TEST_F(SettingsFileTest, AnUnreadableFileKeptEarlierIsNeverOverwritten) {
    ASSERT_TRUE(open());
    std::string first = randomBytes(300, 1), second = randomBytes(300, 2);
    writeBytes(suiteFile(), first);
    ASSERT_TRUE(open()->setObject(1, "a"));
    writeBytes(suiteFile(), second);
    ASSERT_TRUE(open()->setObject(2, "b")); // most likely within the same second

    std::vector<std::string> kept = entriesContaining(".unreadable-");
    ASSERT_EQ(kept.size(), 2u);
    std::vector<std::string> contents;
    for (const auto& name : kept)
        contents.push_back(readBytes(preferences() / name));
    EXPECT_TRUE(std::ranges::is_permutation(contents, std::vector{first, second}));
    EXPECT_EQ(fileContents(), (PlistDictionary{{"b", 2}}));
}

/// Files that exist but hold no settings dictionary.
struct UnreadableCase {
    const char* name;
    std::function<std::string()> contents;
};

class UnreadableSettingsFileTest : public SettingsFileTest,
                                   public ::testing::WithParamInterface<UnreadableCase> {};

TEST_P(UnreadableSettingsFileTest, ReadsAsEmptyAndIsKeptBesideAtTheNextWrite) {
    ASSERT_TRUE(open());
    const std::string contents = GetParam().contents();
    writeBytes(suiteFile(), contents);

    auto suite = open();
    ASSERT_TRUE(suite);
    EXPECT_FALSE(suite->objectForKey("appIsRunning"));
    EXPECT_FALSE(suite->boolForKey("appIsRunning"));
    EXPECT_FALSE(suite->synchronize());

    ASSERT_TRUE(suite->setObject(true, "appIsRunning"));
    EXPECT_EQ(fileContents(), (PlistDictionary{{"appIsRunning", true}}));
    std::vector<std::string> kept = entriesContaining(".unreadable-");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_TRUE(kept[0].starts_with(std::string(kSuite) + ".plist.unreadable-")) << kept[0];
    EXPECT_EQ(readBytes(preferences() / kept[0]), contents);
}

INSTANTIATE_TEST_SUITE_P(
    Contents, UnreadableSettingsFileTest,
    ::testing::Values(
        UnreadableCase{"RandomBytes", [] { return randomBytes(4096, 7); }},
        UnreadableCase{"Empty", [] { return std::string(); }},
        UnreadableCase{"BinaryHeaderOnly", [] { return std::string("bplist00"); }},
        UnreadableCase{"ArrayRoot",
                       [] { return plist::writeBinary(PlistArray{PlistValue(1)}).value(); }},
        UnreadableCase{"TruncatedXml",
                       [] { return std::string("<?xml version=\"1.0\"?><plist><dict><key>a"); }},
        UnreadableCase{"StringRoot", [] { return plist::writeXml(PlistValue("x")).value(); }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace corvane
