#include "platform/linux/bookmark_security_scope.h"
#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/libuuid_source.h"
#include "platform/linux/plist_codec.h"
#include "platform/linux/posix_file_manager.h"
#include "tests/platform/temp_folder_fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <regex>
#include <sys/stat.h>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::writeBytes;

std::size_t entryCount(const fs::path& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class TempFolderTest : public testing::TempFolderTest {
  protected:
    FileURL url(const std::string& name) const { return FileURL::fromPath((dir_ / name).string()); }
};

// --- App Group containers ---------------------------------------------------

/// Values of CORVANE_GROUP_CONTAINERS and XDG_DATA_HOME (none: unset) and
/// the root expected below the test folder.
struct RootCase {
    const char* name;
    std::optional<std::string> explicitRoot, dataHome;
    const char* expected;
};

class ContainerRootTest : public TempFolderTest, public ::testing::WithParamInterface<RootCase> {
  protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        for (const char* name : {"CORVANE_GROUP_CONTAINERS", "XDG_DATA_HOME", "HOME"})
            if (const char* value = std::getenv(name))
                saved_.emplace_back(name, value);
            else
                saved_.emplace_back(name, std::nullopt);
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_)
            set(name.c_str(), value);
        TempFolderTest::TearDown();
    }
    static void set(const char* name, const std::optional<std::string>& value) {
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    }
    std::optional<std::string> under(const std::optional<std::string>& relative) const {
        if (!relative || relative->empty() || relative->front() != '@')
            return relative;
        return (dir_ / relative->substr(1)).string();
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_P(ContainerRootTest, FollowsTheEnvironment) {
    set("CORVANE_GROUP_CONTAINERS", under(GetParam().explicitRoot));
    set("XDG_DATA_HOME", under(GetParam().dataHome));
    set("HOME", (dir_ / "home").string());
    EXPECT_EQ(DirectoryAppGroupContainers::rootFromEnvironment(),
              (dir_ / GetParam().expected).string());
}

// "@x" stands for the folder x inside the test folder.
INSTANTIATE_TEST_SUITE_P(
    Variables, ContainerRootTest,
    ::testing::Values(
        RootCase{"ExplicitWins", "@explicit", "@xdg", "explicit"},
        RootCase{"EmptyExplicitIsIgnored", "", "@xdg", "xdg/corvane/group-containers"},
        RootCase{"XdgDataHome", std::nullopt, "@xdg", "xdg/corvane/group-containers"},
        RootCase{"Home", std::nullopt, std::nullopt, "home/.local/share/corvane/group-containers"},
        RootCase{"EmptyXdg", std::nullopt, "", "home/.local/share/corvane/group-containers"},
        RootCase{"RelativeXdgIsIgnored", std::nullopt, "rel/data",
                 "home/.local/share/corvane/group-containers"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TempFolderTest, ContainerIsCreatedWithItsParentsAndPrivate) {
    DirectoryAppGroupContainers containers((dir_ / "a/b/root").string());
    auto container = containers.containerURL("group.Brenvo.Corvane");
    ASSERT_TRUE(container);
    EXPECT_EQ(container->path(), (dir_ / "a/b/root/group.Brenvo.Corvane").string());
    struct stat st {};
    ASSERT_EQ(::stat(container->path().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(containers.containerURL("group.Brenvo.Corvane"), container) << "second call";
}

TEST_F(TempFolderTest, NoContainerWhenTheRootIsARegularFile) {
    writeBytes(dir_ / "root", "x");
    EXPECT_FALSE(DirectoryAppGroupContainers((dir_ / "root").string()).containerURL("group.a"));
}

class BadGroupIdTest : public TempFolderTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(BadGroupIdTest, HasNoContainerAndCreatesNothing) {
    DirectoryAppGroupContainers containers((dir_ / "root").string());
    EXPECT_FALSE(containers.containerURL(GetParam()));
    EXPECT_FALSE(fs::exists(dir_ / "root" / "a")) << "nothing outside the root";
    EXPECT_TRUE(!fs::exists(dir_ / "root") || fs::is_empty(dir_ / "root"));
}

INSTANTIATE_TEST_SUITE_P(Ids, BadGroupIdTest,
                         ::testing::Values("", ".", "..", "a/b", "/", "../a",
                                           std::string("a\0b", 3)));

// --- File manager -----------------------------------------------------------

using FileManagerTest = TempFolderTest;

TEST_F(FileManagerTest, ExistenceCountsAnyEntryIncludingADanglingLink) {
    PosixFileManager files;
    writeBytes(dir_ / "file", "x");
    fs::create_symlink(dir_ / "missing", dir_ / "dangling");
    EXPECT_TRUE(files.fileExists(url("file").path()));
    EXPECT_TRUE(files.fileExists(dir_.string()));
    EXPECT_TRUE(files.fileExists(url("dangling").path()));
    EXPECT_FALSE(files.fileExists(url("missing").path()));
    EXPECT_FALSE(files.fileExists(url("file").path() + std::string("\0x", 2)));
}

TEST_F(FileManagerTest, MoveTakesAFreeNameButNeverReplacesAFileOrAFolder) {
    PosixFileManager files;
    writeBytes(dir_ / "file", "source");
    writeBytes(dir_ / "takenFile", "taken");
    fs::create_directory(dir_ / "folder");
    fs::create_directory(dir_ / "emptyFolder"); // plain rename() would replace it

    auto ontoFile = files.moveItem(url("file"), url("takenFile"));
    ASSERT_FALSE(ontoFile);
    EXPECT_EQ(ontoFile.error().code, EEXIST);
    EXPECT_NE(ontoFile.error().description.find("File exists"), std::string::npos);
    EXPECT_FALSE(files.moveItem(url("folder"), url("emptyFolder")));
    EXPECT_EQ(readBytes(dir_ / "file"), "source");
    EXPECT_EQ(readBytes(dir_ / "takenFile"), "taken");
    EXPECT_TRUE(fs::is_empty(dir_ / "emptyFolder"));

    ASSERT_TRUE(files.moveItem(url("file"), url("free")));
    EXPECT_FALSE(fs::exists(dir_ / "file"));
    EXPECT_EQ(readBytes(dir_ / "free"), "source");
}

TEST_F(FileManagerTest, MoveAcrossFileSystemsFailsReadably) {
    if (!fs::is_directory("/dev/shm"))
        GTEST_SKIP() << "no second file system at /dev/shm";
    PosixFileManager files;
    writeBytes(dir_ / "file", "x");
    FileURL target = FileURL::fromPath("/dev/shm/" + dir_.filename().string());
    auto moved = files.moveItem(url("file"), target);
    if (moved) {
        fs::remove(target.path());
        GTEST_SKIP() << "/dev/shm is on the same file system here";
    }
    EXPECT_EQ(moved.error().code, EXDEV);
    EXPECT_FALSE(moved.error().description.empty());
    EXPECT_TRUE(fs::exists(dir_ / "file"));
}

TEST_F(FileManagerTest, CreateFileAtomicallyNeverReplacesAndLeavesNoTemporaryFile) {
    PosixFileManager files;
    writeBytes(dir_ / "taken.txt", "old");
    fs::create_symlink(dir_ / "nowhere", dir_ / "link.txt");

    ASSERT_TRUE(files.createFileAtomically(url("Untitled.txt"), "hello\n"));
    EXPECT_EQ(readBytes(dir_ / "Untitled.txt"), "hello\n");
    auto overFile = files.createFileAtomically(url("taken.txt"), "new");
    ASSERT_FALSE(overFile);
    EXPECT_EQ(overFile.error().code, EEXIST);
    EXPECT_FALSE(files.createFileAtomically(url("link.txt"), "new"));
    auto inMissing = files.createFileAtomically(url("missing/a.txt"), "x");
    ASSERT_FALSE(inMissing);
    EXPECT_NE(inMissing.error().description.find("No such file or directory"), std::string::npos);

    EXPECT_EQ(readBytes(dir_ / "taken.txt"), "old");
    EXPECT_FALSE(fs::exists(dir_ / "nowhere")) << "the link was not followed";
    EXPECT_EQ(entryCount(dir_), 3u) << "no temporary file left behind";
}

struct PlistFileCase {
    const char* name;
    std::function<std::optional<std::string>()> contents; // none: no file at all
    bool isDictionary;
};

class ReadPropertyListTest : public TempFolderTest,
                             public ::testing::WithParamInterface<PlistFileCase> {};

const PlistDictionary kOptions{{"newTextFile", true}, {"copyPath", false}};

TEST_P(ReadPropertyListTest, YieldsOnlyARootDictionary) {
    if (auto contents = GetParam().contents())
        writeBytes(dir_ / "MenuOptions.plist", *contents);
    auto read = PosixFileManager().readPropertyListDictionary(url("MenuOptions.plist"));
    if (GetParam().isDictionary)
        EXPECT_EQ(read, kOptions);
    else
        EXPECT_FALSE(read);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadPropertyListTest,
    ::testing::Values(
        PlistFileCase{"Missing", [] { return std::nullopt; }, false},
        PlistFileCase{"RandomBytes", [] { return std::string("\x93\x01\xff\x00garbage\x7f", 13); },
                      false},
        PlistFileCase{"ArrayRoot",
                      [] { return plist::writeXml(PlistArray{PlistValue(true)}).value(); }, false},
        PlistFileCase{"XmlDictionary", [] { return plist::writeXml(kOptions).value(); }, true},
        PlistFileCase{"BinaryDictionary", [] { return plist::writeBinary(kOptions).value(); },
                      true}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Bookmarks ----------------------------------------------------------------

using BookmarkTest = TempFolderTest;

TEST_F(BookmarkTest, ResolvesAsStaleOnlyWhenTheFolderWasReplaced) {
    fs::create_directory(dir_ / "granted");
    fs::create_directory(dir_ / "holder"); // keeps the old inode number from being reused
    auto data = makeBookmarkData((dir_ / "granted/").string()); // trailing slash dropped
    ASSERT_TRUE(data);
    BookmarkSecurityScope scope;
    auto fresh = scope.resolveBookmark(*data);
    ASSERT_TRUE(fresh) << fresh.error().description;
    EXPECT_EQ(fresh->url, url("granted"));
    EXPECT_FALSE(fresh->isStale);

    fs::rename(dir_ / "granted", dir_ / "holder/old");
    fs::create_directory(dir_ / "granted");
    auto stale = scope.resolveBookmark(*data);
    ASSERT_TRUE(stale) << stale.error().description;
    EXPECT_EQ(stale->url, url("granted"));
    EXPECT_TRUE(stale->isStale);
}

TEST_F(BookmarkTest, RemovedFolderFailsSayingSo) {
    fs::create_directory(dir_ / "granted");
    auto data = makeBookmarkData(url("granted").path());
    ASSERT_TRUE(data);
    fs::remove(dir_ / "granted");
    auto resolved = BookmarkSecurityScope().resolveBookmark(*data);
    ASSERT_FALSE(resolved);
    EXPECT_NE(resolved.error().description.find("no longer exists"), std::string::npos);
    EXPECT_NE(resolved.error().description.find(url("granted").path()), std::string::npos);
}

TEST_F(BookmarkTest, NonUtf8FolderNameRoundTrips) {
    const std::string name = "caf\xe9-\xff";
    fs::create_directory(dir_ / name);
    auto data = makeBookmarkData(url(name).path());
    ASSERT_TRUE(data) << data.error().description;
    auto resolved = BookmarkSecurityScope().resolveBookmark(*data);
    ASSERT_TRUE(resolved) << resolved.error().description;
    EXPECT_EQ(resolved->url.path(), url(name).path());
}

TEST_F(BookmarkTest, MakingOneNeedsAnExistingAbsolutePath) {
    EXPECT_FALSE(makeBookmarkData("relative/folder"));
    EXPECT_FALSE(makeBookmarkData(""));
    EXPECT_FALSE(makeBookmarkData(url("missing").path()));
}

TEST_F(BookmarkTest, AccessIsCountedPerPathAndNeverBelowZero) {
    BookmarkSecurityScope scope;
    FileURL folder = FileURL::fromPath(dir_.string());
    EXPECT_TRUE(scope.startAccessing(folder));
    EXPECT_TRUE(scope.startAccessing(folder));
    EXPECT_EQ(scope.accessCount(folder), 2);
    EXPECT_FALSE(scope.startAccessing(url("missing")));
    EXPECT_EQ(scope.accessCount(url("missing")), 0);

    scope.stopAccessing(folder);
    EXPECT_EQ(scope.accessCount(folder), 1);
    scope.stopAccessing(folder);
    scope.stopAccessing(folder);
    EXPECT_EQ(scope.accessCount(folder), 0);
    EXPECT_TRUE(scope.startAccessing(folder));
    EXPECT_EQ(scope.accessCount(folder), 1);
}

/// One way to spoil otherwise good bookmark data.
struct MalformedBookmark {
    const char* name;
    std::function<std::string(PlistDictionary)> spoil;
};

std::string binary(const PlistValue& value) {
    return plist::writeBinary(value).value();
}

std::function<std::string(PlistDictionary)> withKey(const char* key,
                                                    std::optional<PlistValue> value) {
    return [=](PlistDictionary good) {
        value ? good.set(key, *value) : (void)good.remove(key);
        return binary(good);
    };
}

class MalformedBookmarkTest : public TempFolderTest,
                              public ::testing::WithParamInterface<MalformedBookmark> {};

TEST_P(MalformedBookmarkTest, FailsWithADescription) {
    auto good = plist::read(makeBookmarkData(dir_.string()).value());
    ASSERT_TRUE(good && good->isDictionary());
    ASSERT_TRUE(BookmarkSecurityScope().resolveBookmark(binary(*good))) << "the base is good";

    auto resolved = BookmarkSecurityScope().resolveBookmark(GetParam().spoil(good->asDictionary()));
    ASSERT_FALSE(resolved);
    EXPECT_FALSE(resolved.error().description.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Data, MalformedBookmarkTest,
    ::testing::Values(
        MalformedBookmark{"Empty", [](PlistDictionary) { return std::string(); }},
        MalformedBookmark{"RandomBytes",
                          [](PlistDictionary) { return std::string("\x01\xfe\x80junk", 7); }},
        MalformedBookmark{"TruncatedPlist",
                          [](PlistDictionary good) {
                              std::string bytes = binary(good);
                              return bytes.substr(0, bytes.size() / 2);
                          }},
        MalformedBookmark{"ArrayRoot",
                          [](PlistDictionary good) { return binary(PlistArray{good}); }},
        MalformedBookmark{"NoFormat", withKey("format", std::nullopt)},
        MalformedBookmark{"OtherFormat", withKey("format", PlistValue("other.bookmark"))},
        MalformedBookmark{"LaterVersion", withKey("version", PlistValue(2))},
        MalformedBookmark{"VersionAsString", withKey("version", PlistValue("1"))},
        MalformedBookmark{"NoPath", withKey("path", std::nullopt)},
        MalformedBookmark{"PathAsString", withKey("path", PlistValue("/tmp"))},
        MalformedBookmark{"RelativePath", withKey("path", PlistValue(PlistData{"tmp/x"}))},
        MalformedBookmark{"PathWithNul",
                          withKey("path", PlistValue(PlistData{std::string("/tmp\0x", 6)}))},
        MalformedBookmark{"NoDevice", withKey("device", std::nullopt)},
        MalformedBookmark{"InodeAsString", withKey("inode", PlistValue("12"))}),
    [](const auto& info) { return std::string(info.param.name); });

// --- UUIDs --------------------------------------------------------------------

TEST(LibuuidSourceTest, MakesDistinctUpperCaseUuids) {
    LibuuidSource source;
    const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    std::string first = source.makeUUIDString();
    std::string second = source.makeUUIDString();
    EXPECT_EQ(first.size(), 36u);
    EXPECT_TRUE(std::regex_match(first, form)) << first;
    EXPECT_TRUE(std::regex_match(second, form)) << second;
    EXPECT_NE(first, second);
}

} // namespace
} // namespace corvane
