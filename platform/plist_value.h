#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace corvane {

class PlistValue;

/// Raw bytes of a <data> value.
struct PlistData {
    std::string bytes;
    bool operator==(const PlistData&) const = default;
};

/// A <date> value: seconds since 2001-01-01T00:00:00Z, the property-list epoch.
struct PlistDate {
    /// 2001-01-01T00:00:00Z in Unix time: the seconds since 1970-01-01T00:00:00Z.
    static constexpr std::int64_t kEpochUnixSeconds = 978307200;

    double secondsSinceReferenceDate = 0;
    /// Identical seconds, as stored (see `PlistValue::operator==`).
    bool operator==(const PlistDate& other) const;
};

using PlistArray = std::vector<PlistValue>;

/// A dictionary that keeps its entries in stored order. Keys are unique;
/// `set` replaces an existing key in place and appends a new one.
class PlistDictionary {
  public:
    using Entry = std::pair<std::string, PlistValue>;

    PlistDictionary() = default;
    PlistDictionary(std::initializer_list<Entry> entries);

    const PlistValue* find(std::string_view key) const;
    PlistValue* find(std::string_view key);
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    void set(std::string key, PlistValue value);
    /// Returns true when the key was present.
    bool remove(std::string_view key);
    /// Appends without looking for the key: for callers that already know it
    /// is new (readers that index keys themselves, to stay linear in size).
    void appendNew(std::string key, PlistValue value);

    // Defined below PlistValue: clang instantiates them here and needs the
    // complete type.
    bool empty() const;
    std::size_t size() const;
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }
    const std::vector<Entry>& entries() const { return entries_; }

    bool operator==(const PlistDictionary&) const;

  private:
    std::vector<Entry> entries_;
};

/// One property-list value: boolean, integer, real, string (UTF-8), data,
/// date, array or dictionary. Booleans and integers are distinct kinds.
/// Integers are signed 64-bit; those above that range, which other writers
/// may store, are a kind of their own ("unsigned integer"). A `std::uint64_t`
/// that fits the signed range is stored as an ordinary integer, so the two
/// kinds never hold the same number.
class PlistValue {
  public:
    using Storage = std::variant<bool, std::int64_t, std::uint64_t, double, std::string, PlistData,
                                 PlistDate, PlistArray, PlistDictionary>;

    PlistValue() : storage_(false) {}
    PlistValue(bool b) : storage_(b) {}
    PlistValue(int i) : storage_(std::int64_t{i}) {}
    PlistValue(std::int64_t i) : storage_(i) {}
    PlistValue(std::uint64_t u) {
        if (u <= static_cast<std::uint64_t>(INT64_MAX))
            storage_ = static_cast<std::int64_t>(u);
        else
            storage_ = u;
    }
    PlistValue(double d) : storage_(d) {}
    PlistValue(const char* s) : storage_(std::string(s)) {}
    PlistValue(std::string s) : storage_(std::move(s)) {}
    PlistValue(PlistData d) : storage_(std::move(d)) {}
    PlistValue(PlistDate d) : storage_(d) {}
    PlistValue(PlistArray a) : storage_(std::move(a)) {}
    PlistValue(PlistDictionary d) : storage_(std::move(d)) {}

    bool isBool() const { return std::holds_alternative<bool>(storage_); }
    bool isInteger() const { return std::holds_alternative<std::int64_t>(storage_); }
    /// An integer above `INT64_MAX`; never one that fits `isInteger`.
    bool isUnsignedInteger() const { return std::holds_alternative<std::uint64_t>(storage_); }
    bool isReal() const { return std::holds_alternative<double>(storage_); }
    /// Integers of both kinds and reals: what Foundation calls a number.
    /// Booleans are not numbers here.
    bool isNumber() const { return isInteger() || isUnsignedInteger() || isReal(); }
    bool isString() const { return std::holds_alternative<std::string>(storage_); }
    bool isData() const { return std::holds_alternative<PlistData>(storage_); }
    bool isDate() const { return std::holds_alternative<PlistDate>(storage_); }
    bool isArray() const { return std::holds_alternative<PlistArray>(storage_); }
    bool isDictionary() const { return std::holds_alternative<PlistDictionary>(storage_); }

    /// The flag a boolean or a number carries: a boolean is itself, a number
    /// is true when non-zero. None for every other kind.
    std::optional<bool> flagValue() const;

    bool asBool() const { return std::get<bool>(storage_); }
    std::int64_t asInteger() const { return std::get<std::int64_t>(storage_); }
    std::uint64_t asUnsignedInteger() const { return std::get<std::uint64_t>(storage_); }
    double asReal() const { return std::get<double>(storage_); }
    const std::string& asString() const { return std::get<std::string>(storage_); }
    const PlistData& asData() const { return std::get<PlistData>(storage_); }
    const PlistDate& asDate() const { return std::get<PlistDate>(storage_); }
    const PlistArray& asArray() const { return std::get<PlistArray>(storage_); }
    PlistArray& asArray() { return std::get<PlistArray>(storage_); }
    const PlistDictionary& asDictionary() const { return std::get<PlistDictionary>(storage_); }
    PlistDictionary& asDictionary() { return std::get<PlistDictionary>(storage_); }

    const Storage& storage() const { return storage_; }

    /// Equal when stored alike: reals (and dates) compare by their bits, so
    /// a NaN equals the same NaN and 0.0 differs from -0.0. Two values read
    /// from the same stored bytes are always equal.
    bool operator==(const PlistValue& other) const;

  private:
    Storage storage_;
};

inline bool PlistDictionary::empty() const {
    return entries_.empty();
}

inline std::size_t PlistDictionary::size() const {
    return entries_.size();
}

} // namespace corvane
