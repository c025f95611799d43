// The Linux desktop services: the applications mapping, starting programs
// through the workspace, and the alert's fallback line.

#include "platform/linux/desktop_applications.h"
#include "platform/linux/freedesktop_alert.h"
#include "platform/linux/freedesktop_workspace.h"
#include "platform/linux/glib_scheduler.h"
#include "platform/linux/plist_file.h"
#include "platform/linux/posix_file_manager.h"
#include "tests/platform/test_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Command = DesktopApplications::Command;

} // namespace

// Readable failures: the arguments and the folder.
void PrintTo(const DesktopApplications::Command& command, std::ostream* out) {
    for (const std::string& arg : command.argv)
        *out << '[' << arg << "] ";
    *out << "in " << command.workingDirectory;
}

namespace {

const std::string kVSCode = "/Applications/Visual Studio Code.app";
const std::string kInsiders = "/Applications/Visual Studio Code - Insiders.app";
const std::string kTerminal = "/System/Applications/Utilities/Terminal.app";
const std::string kITerm = "/Applications/iTerm.app";

/// A temporary bin folder for the search path and an applications.ini beside it.
class ApplicationsTest : public testing::TempFolderTest {
  protected:
    ApplicationsTest() { fs::create_directory(temp_ / "bin"); }

    /// An executable shell script; its text records its arguments and folder.
    std::string program(const std::string& relative, std::string_view body = "") {
        std::string path = temp_ / relative;
        testing::writeBytes(path, "#!/bin/sh\n" + std::string(body) + "\n");
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }
    void configure(std::string_view ini) { testing::writeBytes(temp_ / "applications.ini", ini); }

    DesktopApplications applications{{temp_ / "applications.ini", temp_ / "bin"}};
};

TEST(ApplicationBundlePaths, OnlyAppNamesDirectlyInTheThreeFolders) {
    const std::pair<const char*, bool> table[] = {
        {"/Applications/Visual Studio Code.app", true},
        {"/Applications/Utilities/Terminal.app", true},
        {"/System/Applications/Utilities/Terminal.app", true},
        {"/Applications/iTerm 2.app", true},
        {"/Applications/.app", false},
        {"/Applications/Sub/X.app", false},
        {"/home/a/Terminal.app", false},
        {"/Applications/Terminal.apps", false},
        {"/System/Applications/Terminal.app", false},
        {"Applications/Terminal.app", false},
    };
    for (const auto& [path, isBundle] : table)
        EXPECT_EQ(DesktopApplications::isBundlePath(path), isBundle) << path;
}

TEST_F(ApplicationsTest, DefaultsNeedTheirProgramOnThePath) {
    for (const std::string& app : {kVSCode, kTerminal, kITerm})
        EXPECT_FALSE(applications.canStart(app)) << app;
    const std::string code = program("bin/code");
    program("bin/xterm");
    program("bin/konsole");
    EXPECT_TRUE(applications.canStart(kVSCode));
    EXPECT_FALSE(applications.canStart(kInsiders));
    EXPECT_EQ(applications.commandFor(kVSCode, {temp_ / "a b", "/x"}),
              (Command{{code, temp_ / "a b", "/x"}, temp_.path()}));
    // konsole comes before xterm in the list; Debian's alternative before both.
    EXPECT_EQ(applications.commandFor(kTerminal, {temp_.path()}),
              (Command{{temp_ / "bin/konsole"}, temp_.path()}));
    const std::string alternative = program("bin/x-terminal-emulator");
    EXPECT_EQ(applications.commandFor(kTerminal, {temp_.path()}),
              (Command{{alternative}, temp_.path()}));
    auto iTerm = applications.commandFor(kITerm, {"/x"});
    ASSERT_FALSE(iTerm);
    EXPECT_EQ(iTerm.error().description,
              "No program is set for iTerm: add an Exec line to the group [iTerm] of " +
                  (temp_ / "applications.ini"));
    // Settled folders: what the next answers find is kept, and must give way.
    std::this_thread::sleep_for(posix::kSettleTime + 50ms);
    EXPECT_FALSE(applications.canStart(kInsiders));
    EXPECT_FALSE(applications.canStart(kITerm));
    program("bin/code-insiders");
    configure("[iTerm]\nExec=xterm\n");
    EXPECT_TRUE(applications.canStart(kInsiders)) << "a program installed after a question";
    EXPECT_TRUE(applications.canStart(kITerm)) << "a configuration file made after a question";
    fs::remove(code);
    EXPECT_FALSE(applications.canStart(kVSCode)) << "a program removed after it was found";
}

TEST_F(ApplicationsTest, ConfiguredExecLinesWinAndExpandPathsUnescaped) {
    const std::string editor = program("my editor");
    configure("[Visual Studio Code]\nExec=\"" + editor +
              "\" --new-window %F \"--x=100%%\" %u\n"
              "[Terminal]\nExec=" +
              program("bin/term") +
              " -e sh\n"
              "[iTerm 2]\nExec=not-installed %F\n");
    const std::vector<std::string> paths = {temp_ / "sub/file \"q\".txt", "/b/caf\xe9", "/c/$HOME"};
    fs::create_directory(temp_ / "sub");
    EXPECT_EQ(applications.commandFor(kVSCode, paths),
              (Command{{editor, "--new-window", paths[0], paths[1], paths[2], "--x=100%"},
                       temp_ / "sub"}));
    EXPECT_EQ(applications.commandFor(kTerminal, {temp_.path()}),
              (Command{{temp_ / "bin/term", "-e", "sh"}, temp_.path()}));
    EXPECT_FALSE(applications.canStart("/Applications/iTerm 2.app"));
    EXPECT_EQ(applications.commandFor("/Applications/iTerm 2.app", {"/"}).error().description,
              "The program \u201Cnot-installed\u201D for iTerm 2 is not found on PATH");
}

TEST_F(ApplicationsTest, BrokenConfigurationsAreReportedNotGuessed) {
    program("bin/code");
    const std::pair<const char*, const char*> table[] = {
        {"[Visual Studio Code]\nExec=\n", "No program is set for Visual Studio Code"},
        {"[Visual Studio Code]\nExec=\"unclosed %F\n", "The Exec line of Visual Studio Code"},
        {"[Visual Studio Code]\nExec=relative/code %F\n", "is not an executable file"},
        {"not a key file\n", "Cannot read "},
    };
    for (const auto& [ini, reason] : table) {
        configure(ini);
        auto command = applications.commandFor(kVSCode, {"/x"});
        ASSERT_FALSE(command) << ini;
        EXPECT_NE(command.error().description.find(reason), std::string::npos)
            << command.error().description;
        EXPECT_FALSE(applications.canStart(kVSCode)) << ini;
    }
}

TEST_F(ApplicationsTest, ARealItemRunsAsTheProgramAndOrdinaryFilesKeepPlainExistence) {
    const std::string tool = program("Terminal.app");
    EXPECT_EQ(applications.commandFor(tool, {"/x/y"}), (Command{{tool, "/x/y"}, "/x"}));
    testing::writeBytes(temp_ / "plain.app", "");
    EXPECT_TRUE(applications.commandFor(temp_ / "plain.app", {"/x"})
                    .error()
                    .description.contains("is not an executable program"));
    EXPECT_FALSE(applications.commandFor(temp_ / "missing.app", {"/x"}));

    PosixFileManager files(std::make_shared<PlistFileCache>(), &applications);
    EXPECT_TRUE(files.fileExists(temp_ / "plain.app")) << "not a bundle path: lstat alone";
    EXPECT_FALSE(files.fileExists(kVSCode));
    program("bin/code");
    EXPECT_TRUE(files.fileExists(kVSCode));
    EXPECT_FALSE(PosixFileManager().fileExists(kVSCode)) << "no mapping: the disk decides";
}

TEST_F(ApplicationsTest, WorkspaceStartsTheProgramAndCompletesOnceLaterOnTheLoop) {
    // The editor records its folder and arguments, then moves the record into place.
    const std::string record = temp_ / "record";
    const std::string editor = program(
        "bin/editor", "{ pwd; printf '%s|' \"$@\"; } > \"$0.tmp\" && mv \"$0.tmp\" " + record);
    // A script whose interpreter is missing passes every check and still cannot start.
    const std::string broken = program("bin/broken");
    testing::writeBytes(broken, "#!/nonexistent/interpreter\n");
    configure("[Visual Studio Code]\nExec=" + editor +
              " %F\n[Visual Studio Code - Insiders]\nExec=" + broken + "\n");
    fs::create_directory(temp_ / "work");
    GlibScheduler scheduler;
    FreedesktopWorkspace workspace(nullptr, applications, scheduler);

    std::vector<Expected<void>> outcomes;
    auto collect = [&](Expected<void> outcome) { outcomes.push_back(std::move(outcome)); };
    workspace.openURLs({FileURL::fromPath(temp_ / "work"), FileURL::fromPath("/a b/c")},
                       FileURL::fromPath(kVSCode), collect);
    workspace.openURLs({FileURL::fromPath("/x")}, FileURL::fromPath(kInsiders), collect);
    workspace.openURLs({FileURL::fromPath("/x")}, FileURL::fromPath(kITerm), collect);
    workspace.openURLs({FileURL::fromPath("/x")}, FileURL::fromPath(kITerm), nullptr);
    EXPECT_TRUE(outcomes.empty()) << "never from inside the call";

    ASSERT_TRUE(testing::runLoopUntil([&] { return outcomes.size() == 3; }, 5s));
    EXPECT_TRUE(outcomes[0].has_value());
    ASSERT_FALSE(outcomes[1]);
    EXPECT_EQ(outcomes[1].error().description, "Failed to execute child process \u201C" +
                                                   temp_.path() +
                                                   "/bin/broken\u201D (No such file or directory)");
    ASSERT_FALSE(outcomes[2]);
    EXPECT_TRUE(outcomes[2].error().description.starts_with("No program is set for iTerm"));
    ASSERT_TRUE(testing::runLoopUntil([&] { return fs::exists(record); }, 5s));
    EXPECT_EQ(testing::readBytes(record),
              temp_.path() + "/work\n" + temp_.path() + "/work|/a b/c|");
    testing::runLoopUntil([] { return false; }, 20ms);
    EXPECT_EQ(outcomes.size(), 3u) << "each completion once";
}

TEST(FreedesktopAlertTest, WithoutABusTheAlertIsOneLineOnTheErrorStream) {
    std::ostringstream errors;
    FreedesktopAlert alert(nullptr, errors);
    alert.runModal(
        {"Permission Required", "Grant caf\xe9\nand retry.", AlertStyle::Warning, {"OK"}});
    EXPECT_EQ(errors.str(), "Permission Required: Grant caf\xe9\\nand retry.\n");
}

} // namespace
} // namespace corvane
