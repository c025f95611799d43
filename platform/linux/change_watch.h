#pragma once

#include <cstdint>
#include <string_view>

namespace corvane {

/// Tells, without a look at each item, whether any of the items it watches
/// may have changed: an inotify instance read without blocking. One thread
/// uses it.
class ChangeWatch {
  public:
    /// A watch on nothing yet; one that cannot watch (no inotify) reports a
    /// change at every `generation`.
    ChangeWatch();
    ~ChangeWatch();
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;

    /// Watches the item at `path` and each folder above it, each both as a
    /// link and as what it leads to: a change to the item, to the entries of
    /// any of them, or a removal or renaming of any of them. False when one of
    /// them cannot be watched. What this misses: a change above a folder that
    /// a link leads to (a rename of `/usr` when `/bin` leads to `/usr/bin`).
    bool watch(std::string_view path);
    /// A number that stays the same while no watched item has changed since
    /// it was last asked for. Costs one `read` of the inotify instance.
    std::uint64_t generation();

  private:
    int fd_ = -1;
    std::uint64_t generation_ = 1;
};

} // namespace corvane
