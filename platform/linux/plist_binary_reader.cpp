// Reader for binary property lists ("bplist00"). Every offset, count and
// reference comes from the input, so each is checked against the bytes that
// are really there before use, with arithmetic that cannot overflow.

#include "platform/linux/plist_codec_internal.h"

#include <bit>
#include <cstring>
#include <vector>

namespace corvane::plist::detail {
namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kTrailerSize = 32;
// Shared objects let a small file name the same string many times; allow
// what the file itself holds plus a fixed allowance.
constexpr std::size_t kExtraByteBudget = 64u << 20;

class BinaryReader {
  public:
    explicit BinaryReader(std::string_view bytes)
        : bytes_(reinterpret_cast<const unsigned char*>(bytes.data())), size_(bytes.size()),
          budget_(bytes.size() + kExtraByteBudget) {}

    Expected<PlistValue> run() {
        if (!readTrailer())
            return makeError(error_);
        onPath_.assign(objectCount_, false);
        PlistValue result;
        if (!readObject(topObject_, 0, result))
            return makeError(error_);
        return result;
    }

  private:
    bool fail(std::string message) {
        if (error_.empty())
            error_ = "binary property list: " + std::move(message);
        return false;
    }

    std::uint64_t readUnsigned(std::size_t pos, std::size_t width) const {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < width; ++i)
            v = (v << 8) | bytes_[pos + i];
        return v;
    }

    // True when [pos, pos + length) lies inside the object area.
    bool fits(std::uint64_t pos, std::uint64_t length) const {
        return pos <= objectsEnd_ && length <= objectsEnd_ - pos;
    }

    bool readTrailer() {
        if (size_ < kHeaderSize + kTrailerSize)
            return fail("too short for header and trailer");
        std::size_t t = size_ - kTrailerSize;
        offsetSize_ = bytes_[t + 6];
        refSize_ = bytes_[t + 7];
        objectCount_ = readUnsigned(t + 8, 8);
        topObject_ = readUnsigned(t + 16, 8);
        std::uint64_t tableOffset = readUnsigned(t + 24, 8);
        if (offsetSize_ < 1 || offsetSize_ > 8)
            return fail("offset size out of range");
        if (refSize_ < 1 || refSize_ > 8)
            return fail("object reference size out of range");
        if (objectCount_ == 0)
            return fail("no objects");
        if (topObject_ >= objectCount_)
            return fail("top object out of range");
        if (tableOffset < kHeaderSize || tableOffset > t)
            return fail("offset table out of range");
        if (objectCount_ > (t - tableOffset) / offsetSize_)
            return fail("offset table exceeds the file");
        tableOffset_ = tableOffset;
        objectsEnd_ = t;
        return true;
    }

    bool objectOffset(std::uint64_t ref, std::uint64_t& offset) {
        if (ref >= objectCount_)
            return fail("object reference out of range");
        offset = readUnsigned(tableOffset_ + ref * offsetSize_, offsetSize_);
        if (offset < kHeaderSize || offset >= objectsEnd_)
            return fail("object offset out of range");
        return true;
    }

    // Reads an integer object's value at `pos` (marker included); 1, 2 and 4
    // byte integers are unsigned, 8 and 16 byte ones signed.
    bool readIntegerAt(std::uint64_t pos, std::int64_t& value, std::uint64_t& next) {
        unsigned char marker = bytes_[pos];
        if ((marker >> 4) != 0x1)
            return fail("expected an integer object");
        unsigned exponent = marker & 0x0F;
        if (exponent > 4)
            return fail("integer width unsupported");
        std::size_t width = std::size_t{1} << exponent;
        if (!fits(pos + 1, width))
            return fail("integer runs past the end");
        if (width == 16) {
            // Only values that fit in int64: the high half must be the sign
            // extension of the low half.
            std::uint64_t high = readUnsigned(pos + 1, 8);
            std::uint64_t low = readUnsigned(pos + 9, 8);
            std::uint64_t extension = (low >> 63) ? ~std::uint64_t{0} : 0;
            if (high != extension)
                return fail("integer does not fit in 64 bits");
            value = static_cast<std::int64_t>(low);
        } else {
            value = static_cast<std::int64_t>(readUnsigned(pos + 1, width));
        }
        next = pos + 1 + width;
        return true;
    }

    // Reads the element count of a data, string, array or dictionary object
    // and moves `pos` past it.
    bool readCount(std::uint64_t& pos, std::uint64_t& count) {
        unsigned low = bytes_[pos] & 0x0F;
        ++pos;
        if (low != 0x0F) {
            count = low;
            return true;
        }
        if (!fits(pos, 1))
            return fail("count runs past the end");
        std::int64_t value = 0;
        if (!readIntegerAt(pos, value, pos))
            return false;
        if (value < 0)
            return fail("negative count");
        count = static_cast<std::uint64_t>(value);
        return true;
    }

    bool readRef(std::uint64_t pos, std::uint64_t& ref) {
        ref = readUnsigned(pos, refSize_);
        if (ref >= objectCount_)
            return fail("object reference out of range");
        return true;
    }

    bool readString(unsigned kind, std::uint64_t pos, std::uint64_t count, std::string& out) {
        if (kind == 0x5) {
            if (!fits(pos, count))
                return fail("string runs past the end");
            out.assign(reinterpret_cast<const char*>(bytes_ + pos), count);
            for (unsigned char c : out)
                if (c >= 0x80)
                    return fail("ASCII string holds a byte above 127");
            return true;
        }
        if (count > (objectsEnd_ - pos) / 2)
            return fail("string runs past the end");
        out.clear();
        out.reserve(count);
        for (std::uint64_t i = 0; i < count; ++i) {
            char32_t cp = static_cast<char32_t>(readUnsigned(pos + 2 * i, 2));
            if (cp >= 0xDC00 && cp <= 0xDFFF)
                return fail("UTF-16 string holds a lone low surrogate");
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                if (i + 1 == count)
                    return fail("UTF-16 string ends inside a surrogate pair");
                char32_t low = static_cast<char32_t>(readUnsigned(pos + 2 * (i + 1), 2));
                if (low < 0xDC00 || low > 0xDFFF)
                    return fail("UTF-16 string holds a lone high surrogate");
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
            appendUtf8(out, cp);
        }
        return true;
    }

    static void appendUtf8(std::string& out, char32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    double readDouble(std::uint64_t pos) const {
        return std::bit_cast<double>(readUnsigned(pos, 8));
    }

    bool readKey(std::uint64_t ref, std::string& key) {
        std::uint64_t pos = 0;
        if (!objectOffset(ref, pos))
            return false;
        unsigned kind = bytes_[pos] >> 4;
        if (kind != 0x5 && kind != 0x6)
            return fail("dictionary key is not a string");
        std::uint64_t count = 0;
        if (!readCount(pos, count) || !readString(kind, pos, count, key))
            return false;
        if (std::string problem = keyProblem(key); !problem.empty())
            return fail(problem);
        if (!budget_.take(key.size()))
            return fail("too many values");
        return true;
    }

    bool readObject(std::uint64_t ref, int depth, PlistValue& out) {
        std::uint64_t pos = 0;
        if (!objectOffset(ref, pos))
            return false;
        unsigned char marker = bytes_[pos];
        unsigned kind = marker >> 4;
        std::size_t carried = 0;
        switch (kind) {
        case 0x0:
            if (marker == 0x08 || marker == 0x09) {
                out = PlistValue(marker == 0x09);
                break;
            }
            return fail("null and fill objects are not supported");
        case 0x1: {
            std::int64_t value = 0;
            std::uint64_t next = 0;
            if (!readIntegerAt(pos, value, next))
                return false;
            out = PlistValue(value);
            break;
        }
        case 0x2: {
            unsigned exponent = marker & 0x0F;
            if (exponent == 2) {
                if (!fits(pos + 1, 4))
                    return fail("real runs past the end");
                auto bits = static_cast<std::uint32_t>(readUnsigned(pos + 1, 4));
                out = PlistValue(static_cast<double>(std::bit_cast<float>(bits)));
            } else if (exponent == 3) {
                if (!fits(pos + 1, 8))
                    return fail("real runs past the end");
                out = PlistValue(readDouble(pos + 1));
            } else {
                return fail("real width unsupported");
            }
            break;
        }
        case 0x3:
            if (marker != 0x33)
                return fail("unknown date marker");
            if (!fits(pos + 1, 8))
                return fail("date runs past the end");
            out = PlistValue(PlistDate{readDouble(pos + 1)});
            break;
        case 0x4: {
            std::uint64_t count = 0;
            if (!readCount(pos, count))
                return false;
            if (!fits(pos, count))
                return fail("data runs past the end");
            carried = count;
            if (!budget_.take(carried))
                return fail("too many values");
            out = PlistValue(
                PlistData{std::string(reinterpret_cast<const char*>(bytes_ + pos), count)});
            return true;
        }
        case 0x5:
        case 0x6: {
            std::uint64_t count = 0;
            std::string text;
            if (!readCount(pos, count) || !readString(kind, pos, count, text))
                return false;
            carried = text.size();
            if (!budget_.take(carried))
                return fail("too many values");
            out = PlistValue(std::move(text));
            return true;
        }
        case 0x8:
            return fail("UIDs are not supported");
        case 0xA:
        case 0xD:
            return readContainer(ref, kind, pos, depth, out);
        case 0xC:
            return fail("sets are not supported");
        default:
            return fail("unknown object marker");
        }
        if (!budget_.take(carried))
            return fail("too many values");
        return true;
    }

    bool readContainer(std::uint64_t ref, unsigned kind, std::uint64_t pos, int depth,
                       PlistValue& out) {
        if (depth >= kMaxDepth)
            return fail("nesting too deep");
        if (onPath_[ref])
            return fail("object reference cycle");
        std::uint64_t count = 0;
        if (!readCount(pos, count))
            return false;
        std::uint64_t refs = kind == 0xD ? 2 : 1;
        if (count > (objectsEnd_ - pos) / refSize_ / refs)
            return fail("container runs past the end");
        if (!budget_.take(0))
            return fail("too many values");
        onPath_[ref] = true;
        bool ok = kind == 0xA ? readArray(pos, count, depth, out)
                              : readDictionary(pos, count, depth, out);
        onPath_[ref] = false;
        return ok;
    }

    bool readArray(std::uint64_t pos, std::uint64_t count, int depth, PlistValue& out) {
        PlistArray array;
        array.reserve(count);
        for (std::uint64_t i = 0; i < count; ++i) {
            std::uint64_t child = 0;
            if (!readRef(pos + i * refSize_, child))
                return false;
            PlistValue value;
            if (!readObject(child, depth + 1, value))
                return false;
            array.push_back(std::move(value));
        }
        out = PlistValue(std::move(array));
        return true;
    }

    bool readDictionary(std::uint64_t pos, std::uint64_t count, int depth, PlistValue& out) {
        DictionaryBuilder dictionary;
        for (std::uint64_t i = 0; i < count; ++i) {
            std::uint64_t keyRef = 0;
            std::uint64_t valueRef = 0;
            if (!readRef(pos + i * refSize_, keyRef) ||
                !readRef(pos + (count + i) * refSize_, valueRef))
                return false;
            std::string key;
            PlistValue value;
            if (!readKey(keyRef, key) || !readObject(valueRef, depth + 1, value))
                return false;
            dictionary.add(std::move(key), std::move(value));
        }
        out = PlistValue(dictionary.take());
        return true;
    }

    const unsigned char* bytes_;
    std::size_t size_;
    ValueBudget budget_;
    std::string error_;
    unsigned offsetSize_ = 0;
    unsigned refSize_ = 0;
    std::uint64_t objectCount_ = 0;
    std::uint64_t topObject_ = 0;
    std::uint64_t tableOffset_ = 0;
    std::uint64_t objectsEnd_ = 0;
    std::vector<bool> onPath_;
};

} // namespace

Expected<PlistValue> readBinary(std::string_view bytes) {
    return BinaryReader(bytes).run();
}

} // namespace corvane::plist::detail
