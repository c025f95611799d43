#include "host/batched_log.h"

namespace corvane {

BatchedLog::BatchedLog(std::ostream& target) : std::ostream(nullptr), buffer_(target) {
    rdbuf(&buffer_);
}

BatchedLog::~BatchedLog() {
    buffer_.pass();
}

BatchedLog::Hold::Hold(BatchedLog& log) : log_(log) {
    ++log_.buffer_.holds;
}

BatchedLog::Hold::~Hold() {
    if (--log_.buffer_.holds == 0)
        log_.buffer_.pass();
}

int BatchedLog::Buffer::pass() {
    if (!gathered_.empty()) {
        target_.write(gathered_.data(), static_cast<std::streamsize>(gathered_.size()));
        gathered_.clear();
    }
    target_.flush();
    return target_ ? 0 : -1;
}

BatchedLog::Buffer::int_type BatchedLog::Buffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    gathered_.push_back(traits_type::to_char_type(c));
    return c;
}

std::streamsize BatchedLog::Buffer::xsputn(const char* text, std::streamsize count) {
    gathered_.append(text, static_cast<std::size_t>(count));
    return count;
}

int BatchedLog::Buffer::sync() {
    return holds > 0 ? 0 : pass();
}

} // namespace corvane
