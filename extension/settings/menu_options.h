#pragma once

#include "platform/plist_value.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane {

/// Which commands the context menu offers: option key to enabled flag, in the
/// order the source listed them.
class MenuOptions {
  public:
    using Entry = std::pair<std::string, bool>;

    MenuOptions() = default;
    MenuOptions(std::initializer_list<Entry> entries);

    /// The flag stored under `key`, or none when the key is absent.
    std::optional<bool> find(std::string_view key) const;
    void set(std::string key, bool enabled);
    /// Appends without looking for the key, for a caller that knows it is
    /// new: a dictionary's keys are, and looking each up would make reading
    /// a large one quadratic.
    void appendNew(std::string key, bool enabled) {
        entries_.emplace_back(std::move(key), enabled);
    }

    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }
    const std::vector<Entry>& entries() const { return entries_; }

    bool operator==(const MenuOptions&) const = default;

  private:
    std::vector<Entry> entries_;
};

/// Applies the value rule to every entry of `source`, in its order: an entry
/// whose value carries a flag (`PlistValue::flagValue`) is kept with that
/// flag, any other is skipped.
MenuOptions menuOptionsFromDictionary(const PlistDictionary& source);

/// The text form used in log lines: ["copyPath": true, "newTextFile": false],
/// or [:] for the empty map.
std::string describeMenuOptions(const MenuOptions& options);

} // namespace corvane
