#pragma once

// Shared pieces of the property-list readers and writers. Not part of the
// codec's public surface.

#include "platform/error.h"
#include "platform/plist/plist_codec.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace corvane::plist::detail {

/// Checks what every reader demands of a dictionary key: valid UTF-8 and no
/// NUL byte. Returns an empty string when the key is fine, else the reason.
std::string keyProblem(std::string_view key);

/// Builds a dictionary from entries in stored order in linear time: a
/// repeated key replaces the earlier value in place (the last value wins).
class DictionaryBuilder {
  public:
    void add(std::string key, PlistValue value) {
        if (seen_.insert(key).second)
            dictionary_.appendNew(std::move(key), std::move(value));
        else
            dictionary_.set(std::move(key), std::move(value));
    }
    PlistDictionary take() { return std::move(dictionary_); }

  private:
    PlistDictionary dictionary_;
    std::unordered_set<std::string> seen_;
};

Expected<PlistValue> readXml(std::string_view bytes);
Expected<PlistValue> readBinary(std::string_view bytes);

} // namespace corvane::plist::detail
