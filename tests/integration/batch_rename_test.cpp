// The batch-rename round trip end to end: corvane-finder chooses "Batch
// Rename", corvane-companion answers by record and by notification, and
// corvane-findersync renames the files on disk.

#include "tests/integration/process_harness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

class BatchRenameEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        companion({"running", "on"});
        companion({"options", "batchRename=true"});
        extension = std::make_unique<Process>(std::vector<std::string>{CORVANE_FINDERSYNC}, env);
        for (int attempt = 0; attempt < 200; ++attempt) {
            if (runCommand({CORVANE_FINDER, "menu"}, env).exitStatus == 0)
                return;
            std::this_thread::sleep_for(25ms);
        }
        FAIL() << "corvane-findersync did not start serving:\n"
               << extension->output(Stream::Stderr);
    }

    std::string companion(std::vector<std::string> args) {
        args.insert(args.begin(), CORVANE_COMPANION);
        CommandResult result = runCommand(std::move(args), env);
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        return result.out;
    }
    /// A companion listening for one notification named `name`.
    std::unique_ptr<Process> listen(const std::string& name) {
        auto listener = std::make_unique<Process>(std::vector<std::string>{CORVANE_COMPANION,
                                                                           "listen", "--count", "1",
                                                                           "--timeout", "10", name},
                                                  env);
        EXPECT_TRUE(listener->waitForLine("listening", 10s, Stream::Stderr));
        return listener;
    }
    /// The line a listener printed for its one notification.
    static std::string heard(Process& listener) {
        EXPECT_EQ(listener.wait(15s), 0) << listener.output(Stream::Stderr);
        auto lines = listener.lines();
        return lines.empty() ? "" : lines.front();
    }
    /// `read KEY` once it prints something other than `previous`.
    std::string readChanged(const std::string& key, const std::string& previous) {
        for (auto deadline = std::chrono::steady_clock::now() + 10s;
             std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(50ms)) {
            if (std::string now = companion({"read", key}); now != previous)
                return now;
        }
        return previous;
    }
    std::string file(const std::string& name) const { return dir / ("photos/" + name); }
    void makeFiles(std::initializer_list<const char*> names) {
        fs::create_directories(dir / "photos");
        for (const char* name : names)
            std::ofstream(file(name)) << name;
    }

    PrivateBus bus;
    TempDir dir;
    Environment env = isolatedEnvironment(bus, dir);
    std::unique_ptr<Process> extension;
};

TEST_F(BatchRenameEndToEnd, TheRequestThenAnAnswerByRecordAndOneByNotification) {
    makeFiles({"b.txt", "a.txt", "c.txt", "d.txt"});
    auto request = listen("Corvane.BatchRenameRequest");
    CommandResult chosen =
        runCommand({CORVANE_FINDER, "choose", "Batch Rename", file("b.txt"), file("a.txt")}, env);
    ASSERT_EQ(chosen.exitStatus, 0) << chosen.err;
    const std::string paths = "[\"" + file("b.txt") + "\", \"" + file("a.txt") + "\"]";
    EXPECT_EQ(heard(*request),
              "{\"name\": \"Corvane.BatchRenameRequest\", \"userInfo\": {\"paths\": " + paths +
                  "}}");
    const std::string record = companion({"read", "batchRenameRequest"});
    EXPECT_NE(record.find("\"paths\": " + paths + ", \"isError\": false, \"message\": \"\"}"),
              std::string::npos)
        << record;

    // By record: the poll timer finds it within half a second.
    companion({"execute", "--base", "Photo", file("b.txt"), file("missing.txt"), file("a.txt")});
    std::string result = readChanged("batchRenameResult", "null\n");
    EXPECT_NE(result.find("\"successCount\": 2, \"failures\": [\"missing.txt\"]}"),
              std::string::npos)
        << result;
    EXPECT_TRUE(fs::exists(file("Photo1.txt")) && fs::exists(file("Photo2.txt")));
    EXPECT_EQ(companion({"read", "batchRenameExecuteRequest"}), "null\n");

    // By notification: the result comes back as a notification and a record.
    auto answer = listen("Corvane.BatchRenameResult");
    companion(
        {"execute", "--via", "notification", "--base", "Photo", file("d.txt"), file("c.txt")});
    EXPECT_EQ(heard(*answer), "{\"name\": \"Corvane.BatchRenameResult\", \"userInfo\": "
                              "{\"successCount\": 2, \"failures\": []}}");
    result = readChanged("batchRenameResult", result);
    EXPECT_NE(result.find("\"successCount\": 2, \"failures\": []}"), std::string::npos) << result;
    // Each batch counts from 1; the names the first one took are kept.
    const std::pair<const char*, const char*> kept[] = {{"Photo1.txt", "a.txt"},
                                                        {"Photo2.txt", "b.txt"},
                                                        {"Photo1 (1).txt", "c.txt"},
                                                        {"Photo2 (1).txt", "d.txt"}};
    for (const auto& [name, contents] : kept) {
        std::ifstream in(file(name));
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), contents) << name;
    }
}

} // namespace
} // namespace corvane::testing
