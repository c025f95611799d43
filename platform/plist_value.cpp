#include "platform/plist_value.h"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace corvane {

PlistDictionary::PlistDictionary(std::initializer_list<Entry> entries) {
    for (const auto& [key, value] : entries)
        set(key, value);
}

const PlistValue* PlistDictionary::find(std::string_view key) const {
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const Entry& e) { return e.first == key; });
    return it == entries_.end() ? nullptr : &it->second;
}

PlistValue* PlistDictionary::find(std::string_view key) {
    return const_cast<PlistValue*>(std::as_const(*this).find(key));
}

void PlistDictionary::set(std::string key, PlistValue value) {
    if (PlistValue* existing = find(key)) {
        *existing = std::move(value);
        return;
    }
    entries_.emplace_back(std::move(key), std::move(value));
}

void PlistDictionary::appendNew(std::string key, PlistValue value) {
    entries_.emplace_back(std::move(key), std::move(value));
}

bool PlistDictionary::remove(std::string_view key) {
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const Entry& e) { return e.first == key; });
    if (it == entries_.end())
        return false;
    entries_.erase(it);
    return true;
}

std::optional<bool> PlistValue::flagValue() const {
    if (isBool())
        return asBool();
    if (isInteger())
        return asInteger() != 0;
    if (isUnsignedInteger())
        return true; // above INT64_MAX, so never zero
    if (isReal())
        return asReal() != 0.0;
    return std::nullopt;
}

bool PlistDictionary::operator==(const PlistDictionary& other) const {
    return entries_ == other.entries_;
}

namespace {

bool identical(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

} // namespace

bool PlistDate::operator==(const PlistDate& other) const {
    return identical(secondsSinceReferenceDate, other.secondsSinceReferenceDate);
}

bool PlistValue::operator==(const PlistValue& other) const {
    if (isReal() && other.isReal())
        return identical(asReal(), other.asReal());
    return storage_ == other.storage_;
}

} // namespace corvane
