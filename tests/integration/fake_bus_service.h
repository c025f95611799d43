#pragma once

// A desktop service on the bus (file manager, notification server) played by
// the test process.

#include <memory>
#include <mutex>
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

    /// Waits up to ten seconds until `count` calls have arrived, then returns
    /// all calls so far.
    std::vector<std::string> waitForCalls(std::size_t count) const;

    /// What GDBus's worker thread, which records the calls, shares with the test.
    struct Calls {
        std::mutex mutex;
        std::vector<std::string> list;
    };

  private:
    std::shared_ptr<Calls> calls_ = std::make_shared<Calls>();
    GDBusConnection* connection_ = nullptr;
};

} // namespace corvane::testing
