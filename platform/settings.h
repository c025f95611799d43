#pragma once

#include "platform/error.h"
#include "platform/plist_value.h"

#include <memory>
#include <optional>
#include <string_view>

namespace corvane {

/// One named settings suite shared between processes (the App Group's
/// preferences). Reads come from the snapshot taken when the suite was opened
/// or last synchronized. Every write goes to the backing store at once and
/// then leaves the snapshot equal to the store's whole content, so a writer
/// sees what others wrote before it as well as its own change.
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
    /// Refreshes the snapshot from the backing store. False when it could not be read.
    virtual bool synchronize() = 0;
};

/// Opens settings suites by name.
class SettingsProvider {
  public:
    virtual ~SettingsProvider() = default;
    /// The suite named `suiteName`, or none when it cannot be opened.
    virtual std::unique_ptr<SettingsSuite> openSuite(std::string_view suiteName) = 0;
};

} // namespace corvane
