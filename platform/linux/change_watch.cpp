#include "platform/linux/change_watch.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace corvane {

namespace {
constexpr int kMaxReads = 8;
} // namespace

ChangeWatch::ChangeWatch() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

ChangeWatch::~ChangeWatch() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool ChangeWatch::watch(std::string_view path) {
    // A folder's own times change only with its entries or its mode; what
    // happens inside its files is not watched, so busy files beside a
    // watched item cost nothing.
    constexpr std::uint32_t kEntries = IN_ATTRIB | IN_CREATE | IN_DELETE | IN_DELETE_SELF |
                                       IN_MOVE_SELF | IN_MOVED_FROM | IN_MOVED_TO | IN_MASK_ADD;
    constexpr std::uint32_t kContent = IN_CLOSE_WRITE | IN_MODIFY;
    if (fd_ < 0 || !path.starts_with('/') || path.find('\0') != std::string_view::npos)
        return false;
    auto watchOne = [&](const std::string& item, std::uint32_t mask) {
        return ::inotify_add_watch(fd_, item.c_str(), mask) >= 0 &&
               ::inotify_add_watch(fd_, item.c_str(), mask | IN_DONT_FOLLOW) >= 0;
    };
    for (std::size_t slash = 0; slash != std::string_view::npos;
         slash = path.find('/', slash + 1)) {
        if (!watchOne(std::string(path.substr(0, std::max<std::size_t>(slash, 1))), kEntries))
            return false;
    }
    const std::string item(path);
    struct stat st {};
    const bool folder = ::stat(item.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    return watchOne(item, folder ? kEntries : kEntries | kContent);
}

std::uint64_t ChangeWatch::generation() {
    if (fd_ < 0)
        return ++generation_;
    // Any event counts, an overflow of the kernel's queue included; what
    // changed is for the caller to look at. Events that keep coming while
    // this reads count at the next call rather than keep it here.
    alignas(inotify_event) char events[4096];
    bool changed = false;
    for (int reads = 0; reads < kMaxReads;) {
        const ssize_t got = ::read(fd_, events, sizeof events);
        if (got > 0) {
            changed = true;
            ++reads;
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    return changed ? ++generation_ : generation_;
}

} // namespace corvane
