// Reader for binary property lists ("bplist00"). Every offset, count and
// reference comes from the input, so each is checked against the bytes that
// are really there before use, with arithmetic that cannot overflow.
//
// Objects may be shared, so a small file can describe a huge tree. A first
// pass measures the tree (values, bytes, height) once per object, finding
// cycles on the way; only a tree within bounds is then built.

#include "platform/plist/plist_codec_internal.h"

#include <algorithm>
#include <bit>
#include <vector>

namespace corvane::plist::detail {
namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kTrailerSize = 32;
// Shared objects let a small file name the same string many times; allow
// what the file itself holds plus a fixed allowance.
constexpr std::uint64_t kExtraByteBudget = 64u << 20;

enum : unsigned {
    kSimple = 0x0,
    kInteger = 0x1,
    kReal = 0x2,
    kDate = 0x3,
    kData = 0x4,
    kAscii = 0x5,
    kUtf16 = 0x6,
    kUid = 0x8,
    kArray = 0xA,
    kSet = 0xC,
    kDictionary = 0xD,
};

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

class BinaryReader {
  public:
    explicit BinaryReader(std::string_view bytes)
        : bytes_(reinterpret_cast<const unsigned char*>(bytes.data())), size_(bytes.size()) {}

    Expected<PlistValue> run() {
        if (!readTrailer())
            return makeError(error_);
        measures_.assign(objectCount_, Measure{});
        if (!measure(topObject_, 0))
            return makeError(error_);
        const Measure& total = measures_[topObject_];
        if (total.values > kMaxValues)
            return makeError("binary property list: too many values");
        if (total.bytes > size_ + kExtraByteBudget)
            return makeError("binary property list: too much text and data");
        PlistValue result;
        if (!build(topObject_, result))
            return makeError(error_);
        return result;
    }

  private:
    // What one object expands to, counting shared objects once per use.
    struct Measure {
        enum class State : std::uint8_t { Unseen, OnPath, Done };
        std::uint64_t values = 0;
        std::uint64_t bytes = 0;
        std::uint16_t height = 0; // arrays and dictionaries on the longest path down
        State state = State::Unseen;
    };

    // An object's marker and, for sized kinds, its element count and the
    // position of its first element.
    struct Header {
        unsigned kind = 0;
        unsigned char marker = 0;
        std::uint64_t count = 0;
        std::uint64_t pos = 0;
    };

    bool fail(std::string message) {
        if (error_.empty())
            error_ = "binary property list: " + std::move(message);
        return false;
    }

    std::uint64_t readUnsigned(std::uint64_t pos, std::size_t width) const {
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
        std::uint64_t t = size_ - kTrailerSize;
        offsetSize_ = bytes_[t + 6];
        refSize_ = bytes_[t + 7];
        objectCount_ = readUnsigned(t + 8, 8);
        topObject_ = readUnsigned(t + 16, 8);
        tableOffset_ = readUnsigned(t + 24, 8);
        if (offsetSize_ < 1 || offsetSize_ > 8)
            return fail("offset size out of range");
        if (refSize_ < 1 || refSize_ > 8)
            return fail("object reference size out of range");
        if (objectCount_ == 0)
            return fail("no objects");
        if (topObject_ >= objectCount_)
            return fail("top object out of range");
        if (tableOffset_ < kHeaderSize || tableOffset_ > t)
            return fail("offset table out of range");
        if (objectCount_ > (t - tableOffset_) / offsetSize_)
            return fail("offset table exceeds the file");
        objectsEnd_ = t;
        return true;
    }

    // Reads an integer object at `pos` (marker included) and moves `pos`
    // past it. 1, 2 and 4 byte integers are unsigned, 8 byte ones signed.
    // A 16 byte one is read when it holds a 64-bit value: an unsigned one
    // under a zero high word, or a negative one under a high word of ones.
    bool readInteger(std::uint64_t& pos, PlistValue& value) {
        if (!fits(pos, 1) || (bytes_[pos] >> 4) != kInteger)
            return fail("expected an integer object");
        unsigned exponent = bytes_[pos] & 0x0F;
        if (exponent > 4)
            return fail("integer width unsupported");
        std::size_t width = std::size_t{1} << exponent;
        if (!fits(pos + 1, width))
            return fail("integer runs past the end");
        if (width == 16) {
            std::uint64_t high = readUnsigned(pos + 1, 8);
            std::uint64_t low = readUnsigned(pos + 9, 8);
            if (high == 0)
                value = PlistValue(low);
            else if (high == UINT64_MAX && (low >> 63))
                value = PlistValue(static_cast<std::int64_t>(low));
            else
                return fail("integer does not fit in 64 bits");
        } else {
            value = PlistValue(static_cast<std::int64_t>(readUnsigned(pos + 1, width)));
        }
        pos += 1 + width;
        return true;
    }

    bool readHeader(std::uint64_t ref, Header& header) {
        if (ref >= objectCount_)
            return fail("object reference out of range");
        std::uint64_t offset = readUnsigned(tableOffset_ + ref * offsetSize_, offsetSize_);
        if (offset < kHeaderSize || offset >= objectsEnd_)
            return fail("object offset out of range");
        header.marker = bytes_[offset];
        header.kind = header.marker >> 4;
        header.pos = offset + 1;
        std::uint64_t unitSize = 0;
        switch (header.kind) {
        case kData:
        case kAscii:
            unitSize = 1;
            break;
        case kUtf16:
            unitSize = 2;
            break;
        case kArray:
            unitSize = refSize_;
            break;
        case kDictionary:
            unitSize = 2 * std::uint64_t{refSize_};
            break;
        default:
            return true;
        }
        header.count = header.marker & 0x0F;
        if (header.count == 0x0F) {
            PlistValue count;
            if (!readInteger(header.pos, count))
                return false;
            if (count.isUnsignedInteger())
                header.count = count.asUnsignedInteger(); // refused below: beyond any file
            else if (count.asInteger() < 0)
                return fail("negative count");
            else
                header.count = static_cast<std::uint64_t>(count.asInteger());
        }
        if (header.count > (objectsEnd_ - header.pos) / unitSize)
            return fail("object runs past the end");
        return true;
    }

    std::uint64_t readRef(const Header& header, std::uint64_t index) const {
        return readUnsigned(header.pos + index * refSize_, refSize_);
    }

    // The first pass: sizes, cycles and depth, without building anything.
    bool measure(std::uint64_t ref, int depth) {
        if (ref >= objectCount_)
            return fail("object reference out of range");
        Measure& m = measures_[ref];
        if (m.state == Measure::State::OnPath)
            return fail("object reference cycle");
        if (m.state == Measure::State::Done) {
            if (depth + m.height > kMaxDepth)
                return fail("nesting too deep");
            return true;
        }
        Header header;
        if (!readHeader(ref, header))
            return false;
        Measure result;
        result.values = 1;
        switch (header.kind) {
        case kData:
        case kAscii:
            result.bytes = header.count;
            break;
        case kUtf16:
            result.bytes = 3 * header.count; // at most three UTF-8 bytes per unit
            break;
        case kArray:
        case kDictionary: {
            if (depth >= kMaxDepth)
                return fail("nesting too deep");
            std::uint64_t refs = header.kind == kDictionary ? 2 * header.count : header.count;
            measures_[ref].state = Measure::State::OnPath;
            for (std::uint64_t i = 0; i < refs; ++i) {
                std::uint64_t child = readRef(header, i);
                if (!measure(child, depth + 1))
                    return false;
                const Measure& c = measures_[child];
                result.values = saturatingAdd(result.values, c.values);
                result.bytes = saturatingAdd(result.bytes, c.bytes);
                result.height = std::max(result.height, c.height);
            }
            ++result.height;
            break;
        }
        default:
            break;
        }
        result.state = Measure::State::Done;
        measures_[ref] = result;
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

    bool readString(const Header& header, std::string& out) {
        if (header.kind == kAscii) {
            out.assign(reinterpret_cast<const char*>(bytes_ + header.pos), header.count);
            for (unsigned char c : out)
                if (c >= 0x80)
                    return fail("ASCII string holds a byte above 127");
            return true;
        }
        out.clear();
        out.reserve(header.count);
        for (std::uint64_t i = 0; i < header.count; ++i) {
            auto cp = static_cast<char32_t>(readUnsigned(header.pos + 2 * i, 2));
            if (cp >= 0xDC00 && cp <= 0xDFFF)
                return fail("UTF-16 string holds a lone low surrogate");
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                if (i + 1 == header.count)
                    return fail("UTF-16 string ends inside a surrogate pair");
                auto low = static_cast<char32_t>(readUnsigned(header.pos + 2 * (i + 1), 2));
                if (low < 0xDC00 || low > 0xDFFF)
                    return fail("UTF-16 string holds a lone high surrogate");
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
            appendUtf8(out, cp);
        }
        return true;
    }

    bool readFixed(const Header& header, std::size_t width) {
        if (!fits(header.pos, width))
            return fail("object runs past the end");
        return true;
    }

    // The second pass. The first has ruled out cycles, excess depth and
    // excess size, so this one checks only the objects' contents.
    bool build(std::uint64_t ref, PlistValue& out) {
        Header header;
        if (!readHeader(ref, header))
            return false;
        switch (header.kind) {
        case kSimple:
            if (header.marker == 0x08 || header.marker == 0x09) {
                out = PlistValue(header.marker == 0x09);
                return true;
            }
            return fail("null and fill objects are not supported");
        case kInteger: {
            std::uint64_t pos = header.pos - 1;
            return readInteger(pos, out);
        }
        case kReal:
            if (header.marker == 0x22) {
                if (!readFixed(header, 4))
                    return false;
                auto bits = static_cast<std::uint32_t>(readUnsigned(header.pos, 4));
                out = PlistValue(static_cast<double>(std::bit_cast<float>(bits)));
                return true;
            }
            if (header.marker == 0x23) {
                if (!readFixed(header, 8))
                    return false;
                out = PlistValue(std::bit_cast<double>(readUnsigned(header.pos, 8)));
                return true;
            }
            return fail("real width unsupported");
        case kDate:
            if (header.marker != 0x33)
                return fail("unknown date marker");
            if (!readFixed(header, 8))
                return false;
            out = PlistValue(PlistDate{std::bit_cast<double>(readUnsigned(header.pos, 8))});
            return true;
        case kData:
            out = PlistValue(PlistData{
                std::string(reinterpret_cast<const char*>(bytes_ + header.pos), header.count)});
            return true;
        case kAscii:
        case kUtf16: {
            std::string text;
            if (!readString(header, text))
                return false;
            out = PlistValue(std::move(text));
            return true;
        }
        case kArray: {
            PlistArray array;
            array.reserve(header.count);
            for (std::uint64_t i = 0; i < header.count; ++i) {
                if (!build(readRef(header, i), array.emplace_back()))
                    return false;
            }
            out = PlistValue(std::move(array));
            return true;
        }
        case kDictionary:
            return buildDictionary(header, out);
        case kUid:
            return fail("UIDs are not supported");
        case kSet:
            return fail("sets are not supported");
        default:
            return fail("unknown object marker");
        }
    }

    bool buildDictionary(const Header& header, PlistValue& out) {
        DictionaryBuilder dictionary;
        for (std::uint64_t i = 0; i < header.count; ++i) {
            Header key;
            if (!readHeader(readRef(header, i), key))
                return false;
            if (key.kind != kAscii && key.kind != kUtf16)
                return fail("dictionary key is not a string");
            std::string text;
            if (!readString(key, text))
                return false;
            if (std::string problem = keyProblem(text); !problem.empty())
                return fail(problem);
            PlistValue value;
            if (!build(readRef(header, header.count + i), value))
                return false;
            dictionary.add(std::move(text), std::move(value));
        }
        out = PlistValue(dictionary.take());
        return true;
    }

    const unsigned char* bytes_;
    std::uint64_t size_;
    std::string error_;
    unsigned offsetSize_ = 0;
    unsigned refSize_ = 0;
    std::uint64_t objectCount_ = 0;
    std::uint64_t topObject_ = 0;
    std::uint64_t tableOffset_ = 0;
    std::uint64_t objectsEnd_ = 0;
    std::vector<Measure> measures_;
};

} // namespace

Expected<PlistValue> readBinary(std::string_view bytes) {
    return BinaryReader(bytes).run();
}

} // namespace corvane::plist::detail
