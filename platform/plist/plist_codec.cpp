#include "platform/plist/plist_codec.h"

#include "platform/plist/plist_codec_internal.h"
#include "platform/unicode.h"

namespace corvane::plist {

namespace detail {

std::string keyProblem(std::string_view key) {
    if (key.find('\0') != std::string_view::npos)
        return "dictionary key holds a NUL byte";
    if (!isValidUTF8(key))
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
