#pragma once

#include <ostream>
#include <streambuf>
#include <string>

namespace corvane {

/// A log stream that passes what is written on to `target` at every flush,
/// except while held: then it gathers the lines and writes them in one piece
/// when the last hold ends. Every log line is flushed as it is written, so
/// holding the log around one request spares it a system call per line.
class BatchedLog : public std::ostream {
  public:
    explicit BatchedLog(std::ostream& target);
    ~BatchedLog() override;
    BatchedLog(const BatchedLog&) = delete;
    BatchedLog& operator=(const BatchedLog&) = delete;

    /// While alive, flushes gather instead of writing.
    class Hold {
      public:
        explicit Hold(BatchedLog& log);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

      private:
        BatchedLog& log_;
    };

  private:
    class Buffer : public std::streambuf {
      public:
        explicit Buffer(std::ostream& target) : target_(target) {}
        /// Writes what has gathered to the target and flushes it.
        int pass();
        int holds = 0;

      protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* text, std::streamsize count) override;
        int sync() override;

      private:
        std::ostream& target_;
        std::string gathered_;
    };

    Buffer buffer_;
};

} // namespace corvane
