#pragma once

#include "platform/linux/change_watch.h"
#include "platform/linux/posix_io.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

/// An item on disk and its identity when a look-up found it.
struct WatchedItem {
    std::string path;
    posix::FileIdentity identity;
};

/// True when each item still has the identity it had.
bool unchanged(const std::vector<WatchedItem>& watched);

/// Adds to `watched` what shows that nothing is at `folder`/`name`: the
/// folder, as adding, removing or renaming an entry changes its modification
/// time; when the folder itself is missing, the same for it in its parent.
/// False, adding nothing, when that cannot be shown: something is at the
/// path (an item that exists changes no folder when its mode or link target
/// changes) or a look-up failed otherwise.
bool watchAbsence(std::string_view folder, std::string_view name,
                  std::vector<WatchedItem>& watched);
/// The same for the absolute path `path`; false for any other path.
bool watchAbsence(std::string_view path, std::vector<WatchedItem>& watched);

/// What was found by reading or looking at files, kept while those files are
/// unchanged: a question asked again and again costs a `stat` per watched
/// item instead of the read, parse or search that found the answer.
///
/// Any change to an item changes its `posix::FileIdentity`, but two changes
/// within one tick of the file-time clock can leave it alike, so a value is
/// kept only when every item it was found from had last changed at least
/// `posix::kSettleTime` before the look-up began (see `posix::hasSettled`).
///
/// What this can miss: a change that leaves every watched identity alike.
/// Local file systems change a time of the identity with every write,
/// rename, `chmod` and entry added or removed, so there that takes a file
/// system that keeps no such times; some network and FUSE file systems
/// cache attributes and show a change late, as their cached look-ups do
/// without us.
///
/// With a `ChangeWatch`, a value looked at once after it was kept is then
/// returned without a `stat` while the watch reports no change anywhere; the
/// watch misses what it says it misses, and the look at each item remains
/// for whatever it could not watch.
///
/// Keeps at most `capacity` keys and forgets the least recently used. One
/// thread uses a cache: it takes no locks.
template <typename Value> class FileIdentityCache {
  public:
    explicit FileIdentityCache(std::size_t capacity, ChangeWatch* watch = nullptr)
        : capacity_(std::max<std::size_t>(capacity, 1)), watch_(watch) {}

    /// The value kept under `key` when every item it was found from is
    /// unchanged; none otherwise, and the key is forgotten.
    std::optional<Value> find(std::string_view key) {
        auto entry = std::ranges::find(entries_, key, &Entry::key);
        if (entry == entries_.end())
            return std::nullopt;
        // Asked before the look: a change during or after it shows as a new
        // generation next time.
        const std::uint64_t generation = entry->watching ? watch_->generation() : 0;
        if (generation == 0 || generation != entry->lookedAt) {
            if (!unchanged(entry->watched)) {
                entries_.erase(entry);
                return std::nullopt;
            }
            entry->lookedAt = generation;
        }
        entry->lastUse = ++uses_;
        return entry->value;
    }

    /// Keeps `value` under `key`, found from the items `watched` by a look-up
    /// that began at `lookupBegan` (a `posix::fileClockNow()`), when each of
    /// them had settled by then; otherwise forgets the key.
    void keep(std::string_view key, std::vector<WatchedItem> watched, std::int64_t lookupBegan,
              Value value) {
        if (!std::ranges::all_of(watched, [&](const WatchedItem& item) {
                return posix::hasSettled(item.identity, lookupBegan);
            })) {
            forget(key);
            return;
        }
        auto slot = std::ranges::find(entries_, key, &Entry::key);
        if (slot == entries_.end()) {
            if (entries_.size() < capacity_)
                slot = entries_.emplace(entries_.end());
            else
                slot = std::ranges::min_element(entries_, {}, &Entry::lastUse);
        }
        // The watches come before the first look, so nothing between the
        // look-up and that look goes unseen.
        const bool watching = watch_ && std::ranges::all_of(watched, [&](const WatchedItem& item) {
                                  return watch_->watch(item.path);
                              });
        *slot = Entry{std::string(key), std::move(watched), std::move(value), ++uses_, watching};
    }

    void forget(std::string_view key) {
        std::erase_if(entries_, [&](const Entry& entry) { return entry.key == key; });
    }

  private:
    struct Entry {
        std::string key;
        std::vector<WatchedItem> watched;
        Value value;
        std::uint64_t lastUse = 0;
        bool watching = false;
        /// The watch's generation when the items were last seen unchanged.
        std::uint64_t lookedAt = 0;
    };

    std::size_t capacity_;
    ChangeWatch* watch_;
    std::vector<Entry> entries_;
    std::uint64_t uses_ = 0;
};

} // namespace corvane
