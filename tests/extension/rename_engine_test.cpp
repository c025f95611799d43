// The rename engine on real temporary folders, through FinderSync.

#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace corvane {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

/// A folder tree as sorted entries relative to its root: "name=contents" for
/// a file, "name/" for a folder, "name->target" for a symbolic link.
std::vector<std::string> listTree(const std::string& root) {
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        std::string name = entry.path().lexically_relative(root).native();
        if (entry.is_symlink())
            entries.push_back(name + "->" + fs::read_symlink(entry.path()).native());
        else if (entry.is_directory())
            entries.push_back(name + "/");
        else
            entries.push_back(name + "=" + readFile(entry.path()));
    }
    std::ranges::sort(entries);
    return entries;
}

void makeTree(const std::string& root, const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) {
        if (entry.ends_with('/')) {
            fs::create_directories(root + "/" + entry);
        } else if (auto arrow = entry.find("->"); arrow != std::string::npos) {
            fs::create_symlink(entry.substr(arrow + 2), root + "/" + entry.substr(0, arrow));
        } else {
            auto eq = entry.find('=');
            std::ofstream(root + "/" + entry.substr(0, eq)) << entry.substr(eq + 1);
        }
    }
}

class RenameEngineTest : public fakes::FinderSyncFixture {
  protected:
    RenameEngineTest() { makeFinderSync(); }

    FileURL item(const std::string& relative) const { return root.appending(relative); }
    std::vector<FileURL> items(const std::vector<std::string>& relatives) const {
        std::vector<FileURL> urls;
        for (const auto& relative : relatives)
            urls.push_back(item(relative));
        return urls;
    }
    BatchRenameOutcome rename(const std::vector<FileURL>& urls, std::string_view baseName) {
        return finderSync->performBatchRename(urls, baseName, 1);
    }

    FileURL root = temp.makeFolder("w");
};

struct RenameCase {
    const char* name;
    std::vector<std::string> before;
    std::vector<std::string> items;
    std::string baseName;
    std::vector<std::string> after;
    std::vector<std::string> failures{};
};

void PrintTo(const RenameCase& c, std::ostream* out) {
    *out << c.name;
}

const RenameCase kRenameCases[] = {
    {"each item stays in its folder, the numbers run across folders",
     {"x/", "x/p.png=p", "y/", "y/q.png=q"},
     {"y/q.png", "x/p.png"},
     "Img",
     {"x/", "x/Img1.png=p", "y/", "y/Img2.png=q"}},
    {"no numeric reading of digits, no case folding",
     {"IMG2.jpg=2", "IMG10.jpg=10", "Zebra.txt=z", "apple.txt=a"},
     {"apple.txt", "Zebra.txt", "IMG2.jpg", "IMG10.jpg"},
     "F",
     {"F1.jpg=10", "F2.jpg=2", "F3.txt=z", "F4.txt=a"}},
    // Composed, "é" is U+00E9 and sorts after "f"; its decomposed bytes, or a
    // locale's collation, would put it first.
    {"paths are compared composed, scalar by scalar, without a locale",
     {"f.txt=f", "e\xCC\x81.txt=e"},
     {"e\xCC\x81.txt", "f.txt"},
     "N",
     {"N1.txt=f", "N2.txt=e"}},
    {"a name that is not UTF-8 takes its place by its bytes",
     {"\xFF.txt=ff", "b.txt=b"},
     {"\xFF.txt", "b.txt"},
     "U",
     {"U1.txt=b", "U2.txt=ff"}},
    {"numbers follow the sorted paths, not the given order, and are never zero-padded",
     {"i0.jpg=0", "i1.jpg=1", "i2.jpg=2", "i3.jpg=3", "i4.jpg=4", "i5.jpg=5", "i6.jpg=6",
      "i7.jpg=7", "i8.jpg=8", "i9.jpg=9"},
     {"i9.jpg", "i8.jpg", "i7.jpg", "i6.jpg", "i5.jpg", "i4.jpg", "i3.jpg", "i2.jpg", "i1.jpg",
      "i0.jpg"},
     "Base",
     {"Base1.jpg=0", "Base10.jpg=9", "Base2.jpg=1", "Base3.jpg=2", "Base4.jpg=3", "Base5.jpg=4",
      "Base6.jpg=5", "Base7.jpg=6", "Base8.jpg=7", "Base9.jpg=8"}},
    {"an empty base name leaves the number alone",
     {"a.jpg=a", "b.jpg=b"},
     {"a.jpg", "b.jpg"},
     "",
     {"1.jpg=a", "2.jpg=b"}},
    {"a taken name gets its first free variant, before the dot",
     {"Photo1.jpg=kept", "Photo1 (1).jpg=kept1", "a.jpg=a"},
     {"a.jpg"},
     "Photo",
     {"Photo1 (1).jpg=kept1", "Photo1 (2).jpg=a", "Photo1.jpg=kept"}},
    {"an item that has its target name finds it taken by itself",
     {"Photo1.jpg=p", "b.jpg=b"},
     {"b.jpg", "Photo1.jpg"},
     "Photo",
     {"Photo1 (1).jpg=p", "Photo2.jpg=b"}},
    {"folders and files without extension get no dot; a folder's dot counts",
     {"Album.2020/", "Album.2020/in=x", "notes=n"},
     {"notes", "Album.2020"},
     "Photo",
     {"Photo1.2020/", "Photo1.2020/in=x", "Photo2=n"}},
    {"the variant goes before the last dot of the target, wherever it came from",
     {"x=x", "Release1.21=r"},
     {"x"},
     "Release1.2",
     {"Release1 (1).21=x", "Release1.21=r"}},
    {"a failure still uses up its number",
     {"a=a", "c=c"},
     {"a", "b", "c"},
     "Base",
     {"Base1=a", "Base3=c"},
     {"b"}},
    {"a path listed twice moves once",
     {"a.txt=a"},
     {"a.txt", "a.txt"},
     "B",
     {"B1.txt=a"},
     {"a.txt"}},
    {"a folder and its own contents: the contents move with the folder",
     {"A/", "A/x.txt=x"},
     {"A/x.txt", "A"},
     "B",
     {"B1/", "B1/x.txt=x"},
     {"x.txt"}},
    {"a link is renamed, never its target",
     {"t.txt=t", "link->t.txt"},
     {"link"},
     "L",
     {"L1->t.txt", "t.txt=t"}},
    {"a dangling link holds its name",
     {"B1.txt->gone", "a.txt=a"},
     {"a.txt"},
     "B",
     {"B1 (1).txt=a", "B1.txt->gone"}},
    {"a base name with a slash moves nothing",
     {"sub/", "a.txt=a"},
     {"a.txt"},
     "sub/x",
     {"a.txt=a", "sub/"},
     {"a.txt"}},
    {"a base name of dots still makes a plain name", {"a=a"}, {"a"}, "..", {"..1=a"}},
};

class RenameCases : public RenameEngineTest, public ::testing::WithParamInterface<RenameCase> {};

TEST_P(RenameCases, EndAsExpectedOnDisk) {
    const RenameCase& c = GetParam();
    makeTree(root.path(), c.before);
    const std::vector<FileURL> given = items(c.items);
    const std::vector<FileURL> copy = given;

    BatchRenameOutcome outcome = rename(given, c.baseName);
    EXPECT_EQ(listTree(root.path()), c.after);
    EXPECT_EQ(outcome.failures, c.failures);
    EXPECT_EQ(outcome.successCount, static_cast<std::int64_t>(c.items.size() - c.failures.size()));
    EXPECT_EQ(given, copy) << "the caller's list is not reordered";
}

INSTANTIATE_TEST_SUITE_P(Engine, RenameCases, ::testing::ValuesIn(kRenameCases),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

TEST_F(RenameEngineTest, NothingHappensForAnEmptyListOrItemsOutsideAFolder) {
    clearRecords();
    EXPECT_EQ(rename({}, "Base"), BatchRenameOutcome{});
    EXPECT_EQ(callsStartingWith({"files.", "security."}), std::vector<std::string>{});

    // A relative path has no folder of its own; ".." and "." at the end name
    // a folder's parent or the folder itself.
    makeTree(root.path(), {"sub/", "sub/f=f"});
    BatchRenameOutcome outcome = rename(
        {FileURL::fromPath("relative.txt"), item("sub/.."), item("sub/."), FileURL::fromPath("/")},
        "Base");
    EXPECT_EQ(outcome.successCount, 0);
    EXPECT_EQ(outcome.failures, (std::vector<std::string>{"/", ".", "..", "relative.txt"}));
    EXPECT_EQ(callsStartingWith({"files.", "security."}), std::vector<std::string>{});
    EXPECT_EQ(listTree(root.path()), (std::vector<std::string>{"sub/", "sub/f=f"}));
}

TEST_F(RenameEngineTest, ANameTakenBetweenTheLookAndTheMoveIsNeverReplaced) {
    makeTree(root.path(), {"a.txt=a", "b.txt=b"});
    // Another process takes each item's first destination just before the move.
    std::set<std::string> raced;
    files.setBeforeMove([&](const FileURL& from, const FileURL& to) {
        if (raced.insert(from.path()).second)
            std::ofstream(to.path()) << "racer";
    });
    BatchRenameOutcome outcome = rename(items({"a.txt", "b.txt"}), "B");
    EXPECT_EQ(outcome, (BatchRenameOutcome{2, {}}));
    EXPECT_EQ(listTree(root.path()), (std::vector<std::string>{"B1 (1).txt=a", "B1.txt=racer",
                                                               "B2 (1).txt=b", "B2.txt=racer"}));
}

TEST_F(RenameEngineTest, EachMoveInsideASecuredFolderRunsInAccessToTheItem) {
    makeTree(root.path(), {"s/", "s/a.txt=a", "s/c.txt=c", "o/", "o/b.txt=b"});
    grantFolder("s", item("s"));
    finderSync->loadSecuredURLs();
    security.refuseAccess(item("s/c.txt").path());
    clearRecords();

    rename(items({"s/c.txt", "s/a.txt", "o/b.txt"}), "B");
    const std::string w = root.path();
    EXPECT_EQ(callsStartingWith({"files.", "security."}),
              (std::vector<std::string>{
                  "files.fileExists " + w + "/o/B1.txt",
                  "files.moveItem " + w + "/o/b.txt -> " + w + "/o/B1.txt",
                  "files.fileExists " + w + "/s/B2.txt",
                  "security.startAccessing " + w + "/s/a.txt",
                  "files.moveItem " + w + "/s/a.txt -> " + w + "/s/B2.txt",
                  "security.stopAccessing " + w + "/s/a.txt",
                  "files.fileExists " + w + "/s/B3.txt",
                  "security.startAccessing " + w + "/s/c.txt",
                  "files.moveItem " + w + "/s/c.txt -> " + w + "/s/B3.txt",
              }));
    EXPECT_EQ(security.accessCount(item("s/a.txt")), 0);
    EXPECT_EQ(finderSync->uniqueDestinationURL(item("s"), "B2.txt"), item("s/B2 (1).txt"));
}

// A second process keeps creating the engine's target names and their
// variants while a few hundred files are renamed. Whatever the timing, every
// file keeps its contents under exactly one name and none is replaced.
TEST_F(RenameEngineTest, NoFileIsLostOrReplacedWhileAnotherProcessTakesTheNames) {
    constexpr int kFiles = 300, kVariants = 2;
    for (int i = 0; i < kFiles; ++i)
        temp.writeFile("w/f" + std::to_string(1000 + i) + ".txt", "token " + std::to_string(i));
    std::vector<FileURL> given;
    for (const auto& entry : fs::directory_iterator(root.path()))
        given.push_back(FileURL::fromPath(entry.path().native()));

    int stop[2], report[2];
    ASSERT_EQ(::pipe(stop), 0);
    ASSERT_EQ(::pipe(report), 0);
    pid_t racer = ::fork();
    ASSERT_GE(racer, 0);
    if (racer == 0) {
        // Follows the engine: once item n - 1 has left, it takes item n's
        // target name and the next variants, hoping to land between the
        // engine's look and its move. Reports how many files it made.
        ::close(stop[1]);
        ::alarm(60);
        pollfd done{stop[0], POLLIN, 0};
        auto stopped = [&] { return ::poll(&done, 1, 0) != 0; };
        std::int32_t made = 0;
        for (int n = 1; n <= kFiles && !stopped(); ++n) {
            std::string previous = root.path() + "/f" + std::to_string(998 + n) + ".txt";
            while (n > 1 && ::access(previous.c_str(), F_OK) == 0 && !stopped()) {
            }
            for (int v = 0; v <= kVariants; ++v) {
                std::string name =
                    "B" + std::to_string(n) + (v ? " (" + std::to_string(v) + ")" : "") + ".txt";
                int fd =
                    ::open((root.path() + "/" + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
                if (fd < 0)
                    continue;
                std::string body = "racer " + name;
                made += ::write(fd, body.data(), body.size()) == static_cast<ssize_t>(body.size());
                ::close(fd);
            }
        }
        (void)!::write(report[1], &made, sizeof made);
        ::_exit(0);
    }
    ::close(stop[0]);
    ::close(report[1]);

    // A slow disk: each move waits a moment, which gives the racer a core on
    // a busy machine and a wider gap between the engine's look and its move.
    files.setBeforeMove([](const FileURL&, const FileURL&) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    });
    BatchRenameOutcome outcome = rename(given, "B");
    ::close(stop[1]);
    std::int32_t made = -1;
    EXPECT_EQ(::read(report[0], &made, sizeof made), static_cast<ssize_t>(sizeof made));
    ::close(report[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(racer, &status, 0), racer);
    ASSERT_TRUE(WIFEXITED(status)) << "the racer did not finish";

    EXPECT_EQ(outcome, (BatchRenameOutcome{kFiles, {}}));
    std::vector<int> tokens(kFiles, 0);
    int racerFiles = 0;
    for (const std::string& entry : listTree(root.path())) {
        auto eq = entry.find('=');
        ASSERT_NE(eq, std::string::npos) << entry;
        std::string name = entry.substr(0, eq), body = entry.substr(eq + 1);
        if (body.starts_with("token ")) {
            EXPECT_TRUE(name.starts_with("B")) << name << " was not renamed";
            ++tokens.at(std::stoi(body.substr(6)));
        } else {
            EXPECT_EQ(body, "racer " + name) << "replaced";
            ++racerFiles;
        }
    }
    EXPECT_EQ(std::ranges::count(tokens, 1), kFiles) << "each file once";
    EXPECT_EQ(racerFiles, made) << "a racer's file was replaced";
}

} // namespace
} // namespace corvane
