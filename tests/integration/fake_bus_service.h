#pragma once

// A D-Bus service played by the test process: it owns a name on a bus,
// serves one interface from its own thread and main context, records every
// call and answers each with a fixed reply.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace corvane::testing {

class FakeBusService {
  public:
    struct Call {
        std::string method;
        /// Every string argument in order, the elements of a string array in place.
        std::vector<std::string> strings;
        /// All arguments in GVariant text form.
        std::string text;
    };

    struct Definition {
        std::string busName;
        std::string objectPath;
        /// Introspection XML of the one interface served.
        std::string introspectionXml;
        /// The reply to every call, in GVariant text form ("()" for none).
        std::string reply;
    };

    /// The service for `org.freedesktop.FileManager1`.
    static Definition fileManager();
    /// The service for `org.freedesktop.Notifications`, answering Notify with id 1.
    static Definition notifications();

    /// Connects to the bus at `busAddress` and owns the name before returning.
    /// Throws std::runtime_error when that fails.
    FakeBusService(const std::string& busAddress, Definition definition);
    /// Releases the name and closes the connection.
    ~FakeBusService();
    FakeBusService(const FakeBusService&) = delete;
    FakeBusService& operator=(const FakeBusService&) = delete;

    /// Waits until `count` calls have arrived, then returns all calls so far;
    /// fewer when `timeout` passed first.
    std::vector<Call> waitForCalls(std::size_t count,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(10));

    /// What the serving thread shares with the test's thread.
    struct State;

  private:
    std::shared_ptr<State> state_;
    std::thread thread_;
};

} // namespace corvane::testing
