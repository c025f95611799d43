// Writer for binary property lists ("bplist00"). Objects are numbered
// depth first (a container before its children); strings are stored once and
// shared. The widths of object references and of offsets are the smallest
// that hold the largest reference and the largest offset actually written.

#include "platform/plist/plist_codec_internal.h"
#include "platform/unicode.h"

#include <bit>
#include <unordered_map>
#include <vector>

namespace corvane::plist {
namespace {

// The smallest of 1, 2, 4 and 8 bytes that holds `value`.
unsigned widthFor(std::uint64_t value) {
    if (value <= 0xFF)
        return 1;
    if (value <= 0xFFFF)
        return 2;
    if (value <= 0xFFFFFFFF)
        return 4;
    return 8;
}

void appendBigEndian(std::string& out, std::uint64_t value, unsigned width) {
    for (unsigned i = width; i-- > 0;)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

bool isAscii(std::string_view text) {
    for (unsigned char c : text)
        if (c >= 0x80)
            return false;
    return true;
}

class BinaryWriter {
  public:
    Expected<std::string> run(const PlistValue& root) {
        if (!collect(root, 0))
            return makeError(error_);
        refSize_ = widthFor(objects_.size() - 1);

        std::string out = "bplist00";
        std::vector<std::uint64_t> offsets;
        offsets.reserve(objects_.size());
        for (const Object& object : objects_) {
            offsets.push_back(out.size());
            encode(object, out);
        }
        std::uint64_t tableOffset = out.size();
        unsigned offsetSize = widthFor(offsets.back());
        for (std::uint64_t offset : offsets)
            appendBigEndian(out, offset, offsetSize);

        out.append(6, '\0'); // unused bytes and the sort version
        out += static_cast<char>(offsetSize);
        out += static_cast<char>(refSize_);
        appendBigEndian(out, objects_.size(), 8);
        appendBigEndian(out, 0, 8); // the root is numbered first
        appendBigEndian(out, tableOffset, 8);
        return out;
    }

  private:
    // A key is written as a string object; `key` is set for those, `value`
    // for everything else.
    struct Object {
        const PlistValue* value = nullptr;
        const std::string* key = nullptr;
        std::vector<std::uint64_t> refs;
    };

    bool fail(std::string message) {
        error_ = "cannot write binary property list: " + std::move(message);
        return false;
    }

    bool collectString(const std::string& text, const PlistValue* value, std::uint64_t& index) {
        if (auto it = strings_.find(text); it != strings_.end()) {
            index = it->second;
            return true;
        }
        if (!isValidUTF8(text))
            return fail("string is not valid UTF-8");
        index = objects_.size();
        objects_.push_back(Object{value, value ? nullptr : &text, {}});
        strings_.emplace(text, index);
        return true;
    }

    bool collect(const PlistValue& value, int depth, std::uint64_t* indexOut = nullptr) {
        std::uint64_t index = objects_.size();
        if (value.isString()) {
            if (!collectString(value.asString(), &value, index))
                return false;
        } else if (value.isArray() || value.isDictionary()) {
            if (depth >= kMaxDepth)
                return fail("nesting too deep");
            objects_.push_back(Object{&value, nullptr, {}});
            std::vector<std::uint64_t> refs;
            if (value.isArray()) {
                for (const PlistValue& child : value.asArray()) {
                    refs.push_back(0);
                    if (!collect(child, depth + 1, &refs.back()))
                        return false;
                }
            } else {
                const PlistDictionary& dictionary = value.asDictionary();
                refs.resize(2 * dictionary.size());
                std::size_t i = 0;
                for (const auto& [key, child] : dictionary) {
                    if (key.find('\0') != std::string::npos)
                        return fail("dictionary key holds a NUL byte");
                    if (!collectString(key, nullptr, refs[i]))
                        return false;
                    ++i;
                }
                for (const auto& entry : dictionary) {
                    if (!collect(entry.second, depth + 1, &refs[i]))
                        return false;
                    ++i;
                }
            }
            objects_[index].refs = std::move(refs);
        } else {
            objects_.push_back(Object{&value, nullptr, {}});
        }
        if (indexOut)
            *indexOut = index;
        return true;
    }

    // A marker with its element count: in the low nibble when below 15,
    // else as a following integer object.
    static void appendHeader(std::string& out, unsigned kind, std::uint64_t count) {
        if (count < 15) {
            out += static_cast<char>((kind << 4) | count);
            return;
        }
        out += static_cast<char>((kind << 4) | 0x0F);
        appendUnsignedInteger(out, count);
    }

    static void appendUnsignedInteger(std::string& out, std::uint64_t value) {
        unsigned width = widthFor(value);
        out += static_cast<char>(0x10 | std::countr_zero(width));
        appendBigEndian(out, value, width);
    }

    static void appendString(std::string& out, const std::string& text) {
        if (isAscii(text)) {
            appendHeader(out, 0x5, text.size());
            out += text;
            return;
        }
        std::u16string units = toUtf16(text);
        appendHeader(out, 0x6, units.size());
        for (char16_t unit : units)
            appendBigEndian(out, unit, 2);
    }

    // `text` is valid UTF-8: checked when it was collected.
    static std::u16string toUtf16(std::string_view text) {
        std::u16string units;
        units.reserve(text.size());
        for (std::size_t i = 0; i < text.size();) {
            auto c = static_cast<unsigned char>(text[i]);
            int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
            char32_t cp = extra == 0   ? c
                          : extra == 1 ? (c & 0x1F)
                          : extra == 2 ? (c & 0x0F)
                                       : (c & 0x07);
            for (int k = 1; k <= extra; ++k)
                cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
            i += extra + 1;
            if (cp >= 0x10000) {
                cp -= 0x10000;
                units += static_cast<char16_t>(0xD800 + (cp >> 10));
                units += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
            } else {
                units += static_cast<char16_t>(cp);
            }
        }
        return units;
    }

    void encode(const Object& object, std::string& out) const {
        if (object.key) {
            appendString(out, *object.key);
            return;
        }
        const PlistValue& value = *object.value;
        std::visit(
            [&](const auto& v) {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, bool>) {
                    out += static_cast<char>(v ? 0x09 : 0x08);
                } else if constexpr (std::is_same_v<T, std::int64_t>) {
                    // Negative values take the signed 8-byte form; readers
                    // treat the narrower forms as unsigned.
                    if (v < 0) {
                        out += static_cast<char>(0x13);
                        appendBigEndian(out, static_cast<std::uint64_t>(v), 8);
                    } else {
                        appendUnsignedInteger(out, static_cast<std::uint64_t>(v));
                    }
                } else if constexpr (std::is_same_v<T, std::uint64_t>) {
                    // Above the signed range: 16 bytes with a zero high word,
                    // the form other readers take as unsigned.
                    out += static_cast<char>(0x14);
                    appendBigEndian(out, 0, 8);
                    appendBigEndian(out, v, 8);
                } else if constexpr (std::is_same_v<T, double>) {
                    out += static_cast<char>(0x23);
                    appendBigEndian(out, std::bit_cast<std::uint64_t>(v), 8);
                } else if constexpr (std::is_same_v<T, PlistDate>) {
                    out += static_cast<char>(0x33);
                    appendBigEndian(out, std::bit_cast<std::uint64_t>(v.secondsSinceReferenceDate),
                                    8);
                } else if constexpr (std::is_same_v<T, PlistData>) {
                    appendHeader(out, 0x4, v.bytes.size());
                    out += v.bytes;
                } else if constexpr (std::is_same_v<T, std::string>) {
                    appendString(out, v);
                } else if constexpr (std::is_same_v<T, PlistArray>) {
                    appendRefs(out, 0xA, v.size(), object.refs);
                } else {
                    appendRefs(out, 0xD, v.size(), object.refs);
                }
            },
            value.storage());
    }

    void appendRefs(std::string& out, unsigned kind, std::uint64_t count,
                    const std::vector<std::uint64_t>& refs) const {
        appendHeader(out, kind, count);
        for (std::uint64_t ref : refs)
            appendBigEndian(out, ref, refSize_);
    }

    std::vector<Object> objects_;
    std::unordered_map<std::string_view, std::uint64_t> strings_;
    unsigned refSize_ = 1;
    std::string error_;
};

} // namespace

Expected<std::string> writeBinary(const PlistValue& value) {
    return BinaryWriter().run(value);
}

} // namespace corvane::plist
