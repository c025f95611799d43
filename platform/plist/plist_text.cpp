#include "platform/plist/plist_text.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace corvane::plist {

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Digit(char c) {
    const char* found = std::find(kBase64, kBase64 + 64, c);
    return found == kBase64 + 64 ? -1 : static_cast<int>(found - kBase64);
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

/// Instants to the millisecond on the Unix clock, and the property-list epoch.
using Instant = std::chrono::sys_time<std::chrono::milliseconds>;
constexpr std::chrono::sys_seconds kEpoch{std::chrono::seconds(PlistDate::kEpochUnixSeconds)};

} // namespace

std::string encodeBase64(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    auto at = [&](std::size_t i) { return std::uint32_t{static_cast<unsigned char>(bytes[i])}; };
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t rest = std::min<std::size_t>(bytes.size() - i, 3);
        std::uint32_t n = at(i) << 16;
        if (rest > 1)
            n |= at(i + 1) << 8;
        if (rest > 2)
            n |= at(i + 2);
        out += kBase64[(n >> 18) & 63];
        out += kBase64[(n >> 12) & 63];
        out += rest > 1 ? kBase64[(n >> 6) & 63] : '=';
        out += rest > 2 ? kBase64[n & 63] : '=';
    }
    return out;
}

std::optional<std::string> decodeBase64(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 4 * 3);
    std::uint32_t bits = 0;
    int pending = 0;
    bool padded = false;
    for (char c : text) {
        if (isSpace(c))
            continue;
        if (c == '=') {
            padded = true;
            continue;
        }
        int digit = base64Digit(c);
        if (digit < 0 || padded)
            return std::nullopt;
        bits = (bits << 6) | static_cast<std::uint32_t>(digit);
        if (++pending == 4) {
            out += static_cast<char>((bits >> 16) & 0xFF);
            out += static_cast<char>((bits >> 8) & 0xFF);
            out += static_cast<char>(bits & 0xFF);
            bits = 0;
            pending = 0;
        }
    }
    if (pending == 1)
        return std::nullopt;
    if (pending == 2)
        out += static_cast<char>((bits >> 4) & 0xFF);
    if (pending == 3) {
        out += static_cast<char>((bits >> 10) & 0xFF);
        out += static_cast<char>((bits >> 2) & 0xFF);
    }
    return out;
}

std::optional<std::string> formatDate(const PlistDate& date, DatePrecision precision) {
    using namespace std::chrono;
    const double since = date.secondsSinceReferenceDate;
    const double ms = precision == DatePrecision::Seconds ? std::floor(since) * 1000.0
                                                          : std::round(since * 1000.0);
    // Roughly ±8000 years, so the conversions below cannot overflow.
    if (!std::isfinite(ms) || std::fabs(ms) > 2.6e14)
        return std::nullopt;
    const Instant instant = kEpoch + milliseconds(static_cast<std::int64_t>(ms));
    const sys_days day = floor<days>(instant);
    const year_month_day ymd(day);
    const int y = static_cast<int>(ymd.year());
    if (y < 1 || y > 9999)
        return std::nullopt;
    const hh_mm_ss time(instant - day);
    char buffer[40];
    int n = std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02d", y,
                          static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                          static_cast<int>(time.hours().count()),
                          static_cast<int>(time.minutes().count()),
                          static_cast<int>(time.seconds().count()));
    std::string text(buffer, static_cast<std::size_t>(n));
    if (auto fraction = time.subseconds().count()) {
        std::snprintf(buffer, sizeof buffer, ".%03d", static_cast<int>(fraction));
        text += buffer;
    }
    return text + "Z";
}

std::optional<PlistDate> parseDate(std::string_view text) {
    using namespace std::chrono;
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z')
        return std::nullopt;
    auto field = [&](std::size_t at, std::size_t length) -> int {
        int v = 0;
        for (std::size_t i = at; i < at + length; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return -1;
            v = v * 10 + (text[i] - '0');
        }
        return v;
    };
    const std::array<int, 6> f = {field(0, 4),  field(5, 2),  field(8, 2),
                                  field(11, 2), field(14, 2), field(17, 2)};
    if (std::ranges::any_of(f, [](int v) { return v < 0; }) || f[0] < 1 || f[3] > 23 || f[4] > 59 ||
        f[5] > 59)
        return std::nullopt;
    const year_month_day ymd{year(f[0]), month(static_cast<unsigned>(f[1])),
                             day(static_cast<unsigned>(f[2]))};
    if (!ymd.ok())
        return std::nullopt;
    const sys_seconds instant =
        sys_days(ymd) + hours(f[3]) + minutes(f[4]) + std::chrono::seconds(f[5]);
    return PlistDate{static_cast<double>((instant - kEpoch).count())};
}

} // namespace corvane::plist
