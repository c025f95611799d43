// Feeds arbitrary bytes to the property-list reader. Whatever it accepts
// must survive a trip through the binary writer unchanged, and through the
// XML writer too whenever that format can carry it.

#include "platform/plist/plist_codec.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using corvane::PlistValue;

enum class Dates { Exact, WholeSeconds };

bool sameReal(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) ||
           std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool same(const PlistValue& a, const PlistValue& b, Dates dates) {
    if (a.storage().index() != b.storage().index())
        return false;
    if (a.isReal())
        return sameReal(a.asReal(), b.asReal());
    if (a.isDate()) {
        double expected = a.asDate().secondsSinceReferenceDate;
        if (dates == Dates::WholeSeconds)
            expected = std::floor(expected);
        return sameReal(expected, b.asDate().secondsSinceReferenceDate);
    }
    if (a.isArray()) {
        const auto& x = a.asArray();
        const auto& y = b.asArray();
        if (x.size() != y.size())
            return false;
        for (std::size_t i = 0; i < x.size(); ++i)
            if (!same(x[i], y[i], dates))
                return false;
        return true;
    }
    if (a.isDictionary()) {
        const auto& x = a.asDictionary().entries();
        const auto& y = b.asDictionary().entries();
        if (x.size() != y.size())
            return false;
        for (std::size_t i = 0; i < x.size(); ++i)
            if (x[i].first != y[i].first || !same(x[i].second, y[i].second, dates))
                return false;
        return true;
    }
    return a == b;
}

[[noreturn]] void mismatch(const char* what) {
    std::fprintf(stderr, "plist round trip failed: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvane;
    auto value = plist::read(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!value)
        return 0;

    auto binary = plist::writeBinary(*value);
    if (!binary)
        mismatch("the binary writer refused a value the reader produced");
    auto fromBinary = plist::read(*binary);
    if (!fromBinary)
        mismatch("the reader refused the binary writer's output");
    if (!same(*value, *fromBinary, Dates::Exact))
        mismatch("binary output reads back different");

    // The XML writer may refuse (control characters, far dates); what it
    // writes must read back, dates to the whole second.
    if (auto xml = plist::writeXml(*value)) {
        auto fromXml = plist::read(*xml);
        if (!fromXml)
            mismatch("the reader refused the XML writer's output");
        if (!same(*value, *fromXml, Dates::WholeSeconds))
            mismatch("XML output reads back different");
    }
    return 0;
}
