#include "platform/linux/change_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace corvane {

ChangeWatch::ChangeWatch() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

ChangeWatch::~ChangeWatch() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool ChangeWatch::watch(std::string_view path) {
    constexpr std::uint32_t kChanges = IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE |
                                       IN_DELETE_SELF | IN_MODIFY | IN_MOVE_SELF | IN_MOVED_FROM |
                                       IN_MOVED_TO;
    if (fd_ < 0 || !path.starts_with('/') || path.find('\0') != std::string_view::npos)
        return false;
    // The same item again gives the same watch, so watching a path twice costs
    // only the calls.
    auto watchOne = [&](const std::string& item) {
        return ::inotify_add_watch(fd_, item.c_str(), kChanges) >= 0 &&
               ::inotify_add_watch(fd_, item.c_str(), kChanges | IN_DONT_FOLLOW) >= 0;
    };
    for (std::size_t slash = 0; slash != std::string_view::npos;
         slash = path.find('/', slash + 1)) {
        if (!watchOne(std::string(path.substr(0, std::max<std::size_t>(slash, 1)))))
            return false;
    }
    return watchOne(std::string(path));
}

std::uint64_t ChangeWatch::generation() {
    if (fd_ < 0)
        return ++generation_;
    // Any event counts, an overflow of the kernel's queue included; what
    // changed is for the caller to look at.
    alignas(inotify_event) char events[4096];
    bool changed = false;
    for (;;) {
        const ssize_t got = ::read(fd_, events, sizeof events);
        if (got > 0) {
            changed = true;
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        break;
    }
    return changed ? ++generation_ : generation_;
}

} // namespace corvane
