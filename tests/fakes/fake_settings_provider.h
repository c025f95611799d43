#pragma once

#include "platform/settings.h"
#include "tests/fakes/call_log.h"

#include <map>
#include <memory>
#include <string>

namespace corvane::fakes {

/// Settings suites held in memory, by name. Opening a suite takes a snapshot
/// of its store and `synchronize` refreshes it; a write changes the store and
/// then takes a fresh snapshot, as the real suite does. Records each
/// `setObject`.
class FakeSettingsProvider final : public SettingsProvider, Recorder {
  public:
    using Recorder::Recorder;

    std::unique_ptr<SettingsSuite> openSuite(std::string_view name) override {
        return available ? std::make_unique<Suite>(*this, std::string(name)) : nullptr;
    }
    /// The backing store of the suite `name`, created empty on first use.
    PlistDictionary& store(std::string_view name) { return stores_[std::string(name)]; }
    /// While false, every `openSuite` returns none.
    bool available = true;

  private:
    class Suite final : public SettingsSuite {
      public:
        Suite(FakeSettingsProvider& owner, std::string name)
            : owner_(owner), name_(std::move(name)), snapshot_(owner.store(name_)) {}

        std::optional<PlistValue> objectForKey(std::string_view key) const override {
            const PlistValue* value = snapshot_.find(key);
            return value ? std::optional(*value) : std::nullopt;
        }
        Expected<void> setObject(const PlistValue& value, std::string_view key) override {
            owner_.record("settings.setObject " + std::string(key));
            owner_.store(name_).set(std::string(key), value);
            return refresh();
        }
        Expected<void> removeObject(std::string_view key) override {
            owner_.store(name_).remove(key);
            return refresh();
        }
        Expected<void> modifyObject(std::string_view key, const Modification& change) override {
            applyModification(owner_.store(name_), key, change);
            return refresh();
        }
        bool synchronize() override { return refresh().has_value(); }

      private:
        Expected<void> refresh() {
            snapshot_ = owner_.store(name_);
            return {};
        }

        FakeSettingsProvider& owner_;
        std::string name_;
        PlistDictionary snapshot_;
    };

    std::map<std::string, PlistDictionary> stores_;
};

} // namespace corvane::fakes
