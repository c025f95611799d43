#include "platform/linux/plist_codec.h"

#include "platform/linux/plist_codec_internal.h"

namespace corvane::plist {

namespace detail {

bool isValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra;
        char32_t min;
        char32_t cp;
        if ((c & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

std::string keyProblem(std::string_view key) {
    if (key.find('\0') != std::string_view::npos)
        return "dictionary key holds a NUL byte";
    if (!isValidUtf8(key))
        return "dictionary key is not valid UTF-8";
    return {};
}

} // namespace detail

Expected<PlistValue> read(std::string_view bytes) {
    constexpr std::string_view kBinaryMagic = "bplist";
    if (bytes.empty())
        return makeError("property list is empty");
    if (bytes.starts_with(kBinaryMagic)) {
        if (!bytes.starts_with("bplist00"))
            return makeError("binary property list: unsupported format version");
        return detail::readBinary(bytes);
    }
    return detail::readXml(bytes);
}

} // namespace corvane::plist
