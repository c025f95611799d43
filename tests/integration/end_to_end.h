#pragma once

// The fixture of the end-to-end tests: corvane-findersync, corvane-finder and
// corvane-companion on a private bus, in an environment of their own. The
// test program defines CORVANE_FINDERSYNC, CORVANE_FINDER and CORVANE_COMPANION.

#include "tests/integration/process_harness.h"

#include <gtest/gtest.h>

namespace corvane::testing {

class EndToEnd : public ::testing::Test {
  protected:
    /// On a bus of its own (`ownBus`), or on `shared` when given.
    explicit EndToEnd(const PrivateBus* shared = nullptr)
        : ownBus(shared ? nullptr : std::make_unique<PrivateBus>()),
          env(isolatedEnvironment(shared ? *shared : *ownBus, dir)) {}

    /// Runs corvane-finder with `args`.
    CommandResult finder(std::vector<std::string> args) const {
        args.insert(args.begin(), CORVANE_FINDER);
        return runCommand(std::move(args), env);
    }
    /// Runs corvane-companion with `args`, which must end in `status`.
    CommandResult companion(std::vector<std::string> args, int status = 0) const {
        args.insert(args.begin(), CORVANE_COMPANION);
        CommandResult result = runCommand(std::move(args), env);
        EXPECT_EQ(result.exitStatus, status) << result.err;
        return result;
    }
    /// Starts `corvane-companion listen --count COUNT ARGS...` and waits
    /// until it listens.
    std::unique_ptr<Process> listen(std::vector<std::string> args, int count = 1) const {
        args.insert(args.begin(), {CORVANE_COMPANION, "listen", "--count", std::to_string(count)});
        auto listener = std::make_unique<Process>(std::move(args), env);
        EXPECT_TRUE(listener->waitForLine("listening", 10s, Stream::Stderr));
        return listener;
    }
    /// Starts corvane-findersync with `env` and waits until it serves: its
    /// start-up logs the menu options only once the bus name is its own.
    void startExtension() {
        extension = std::make_unique<Process>(std::vector<std::string>{CORVANE_FINDERSYNC}, env);
        ASSERT_TRUE(extension->waitForLine("[CorvaneExt] ")) << extension->output(Stream::Stderr);
    }

    std::unique_ptr<PrivateBus> ownBus;
    TempDir dir;
    Environment env;
    std::unique_ptr<Process> extension;
};

} // namespace corvane::testing
