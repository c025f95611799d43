#pragma once

// A desktop service on the bus (file manager, notification server) played by
// the test process.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

typedef struct _GDBusConnection GDBusConnection;

namespace corvane::testing {

/// Owns a bus name, answers every method call sent to it with (uint32 1) and
/// records each call as its name and arguments in GVariant text form, such
/// as "ShowItems(['file:///a'], '')".
class FakeBusService {
  public:
    /// Connects to the bus at `busAddress` and owns `name` before returning.
    /// Throws std::runtime_error when that fails.
    FakeBusService(const std::string& busAddress, const std::string& name);
    /// Releases the name and closes the connection.
    ~FakeBusService();
    FakeBusService(const FakeBusService&) = delete;
    FakeBusService& operator=(const FakeBusService&) = delete;

    /// Waits until `count` calls have arrived, then returns all calls so far;
    /// fewer when `timeout` passed first.
    std::vector<std::string>
    waitForCalls(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10));

    /// What the bus's worker thread shares with the test's thread.
    struct State;

  private:
    GDBusConnection* connection_ = nullptr;
    std::shared_ptr<State> state_;
};

} // namespace corvane::testing
