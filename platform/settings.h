#pragma once

#include "platform/error.h"
#include "platform/plist_value.h"

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace corvane {

/// One named settings suite shared between processes (the App Group's
/// preferences). Reads come from the snapshot taken when the suite was opened
/// or last synchronized. Every write goes to the backing store at once and
/// then leaves the snapshot equal to the store's whole content, so a writer
/// sees what others wrote before it as well as its own change (`modifyObject`
/// and `removeObjectIfEqual` refresh the snapshot so even when they write
/// nothing).
class SettingsSuite {
  public:
    virtual ~SettingsSuite() = default;

    /// The value stored under `key`, or none.
    virtual std::optional<PlistValue> objectForKey(std::string_view key) const = 0;
    /// The flag under `key` (see `PlistValue::flagValue`); false when the key
    /// is missing or its value carries no flag.
    bool boolForKey(std::string_view key) const;
    /// The dictionary under `key`, or none when missing or not a dictionary.
    std::optional<PlistDictionary> dictionaryForKey(std::string_view key) const;

    /// Stores `value` under `key`, replacing what was there.
    virtual Expected<void> setObject(const PlistValue& value, std::string_view key) = 0;
    /// Removes `key`; removing a key that is not there succeeds.
    virtual Expected<void> removeObject(std::string_view key) = 0;

    /// Edits the value under a key in place: none when the key is missing;
    /// left none, the key is removed.
    using Modification = std::function<void(std::optional<PlistValue>& value)>;
    /// Reads the value under `key` from the backing store's current content,
    /// lets `change` edit it and stores the result, all as one step: no write
    /// of another process or suite falls between the read and the write, so
    /// none is lost. When `change` leaves the value as it found it, nothing is
    /// written. `change` is called once, and not at all when the store cannot
    /// be read. It runs while every other writer of the suite waits (across
    /// processes): it must only compute, quickly, on the value it is given; it
    /// must not do I/O, and must not touch any settings suite (a nested write
    /// waits for itself forever). When it throws, nothing is written and the
    /// exception propagates.
    virtual Expected<void> modifyObject(std::string_view key, const Modification& change) = 0;
    /// Removes the value under `key` only when it still equals `expected` in
    /// the backing store, as one step like `modifyObject`. True when removed;
    /// false when the key is missing or holds another value, which stays.
    Expected<bool> removeObjectIfEqual(std::string_view key, const PlistValue& expected);
    /// Refreshes the snapshot from the backing store. False when it could not be read.
    virtual bool synchronize() = 0;

  protected:
    /// Whether a change altered what it was given.
    enum class Modified { Yes, No };
    /// The step every `modifyObject` takes on the store's current content:
    /// offers `change` the value under `key` and puts the result back.
    static Modified applyModification(PlistDictionary& root, std::string_view key,
                                      const Modification& change);
};

/// Opens settings suites by name.
class SettingsProvider {
  public:
    virtual ~SettingsProvider() = default;
    /// The suite named `suiteName`, or none when it cannot be opened.
    virtual std::unique_ptr<SettingsSuite> openSuite(std::string_view suiteName) = 0;
};

} // namespace corvane
