#include "platform/plist/plist_codec.h"
#include "tests/platform/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace corvane {
namespace {

using namespace std::string_literals;
using testing::samplePlist;

enum class Format { Binary, Xml };

Expected<std::string> writeIn(Format format, const PlistValue& value) {
    return format == Format::Binary ? plist::writeBinary(value) : plist::writeXml(value);
}

std::string bigEndian(std::uint64_t value, unsigned width) {
    std::string out;
    for (unsigned i = width; i-- > 0;)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

/// Lays out encoded objects as a binary property list with the given widths.
std::string binaryPlist(const std::vector<std::string>& objects, unsigned offsetSize,
                        unsigned refSize, std::uint64_t top = 0) {
    std::string out = "bplist00";
    std::vector<std::uint64_t> offsets;
    for (const std::string& object : objects) {
        offsets.push_back(out.size());
        out += object;
    }
    std::uint64_t table = out.size();
    for (std::uint64_t offset : offsets)
        out += bigEndian(offset, offsetSize);
    out += std::string(6, '\0') + static_cast<char>(offsetSize) + static_cast<char>(refSize);
    out += bigEndian(objects.size(), 8) + bigEndian(top, 8) + bigEndian(table, 8);
    return out;
}

std::string xmlPlist(std::string_view body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" +
           std::string(body) + "</plist>";
}

/// Overwrites bytes of the 32-byte trailer, `field` counted from its start.
std::string patchTrailer(std::string bytes, std::size_t field, const std::string& value) {
    return bytes.replace(bytes.size() - 32 + field, value.size(), value);
}

// --- Round trips --------------------------------------------------------------

TEST(PlistRoundTrip, ReadsBackTheSameValueInTheSameOrder) {
    for (const PlistValue& value : {samplePlist(), PlistValue(true), PlistValue("top \r\n and \r"),
                                    PlistValue(PlistData{"\x00\xff"s})})
        for (Format format : {Format::Binary, Format::Xml}) {
            auto bytes = writeIn(format, value);
            ASSERT_TRUE(bytes) << bytes.error().description;
            auto back = plist::read(*bytes);
            ASSERT_TRUE(back) << back.error().description;
            EXPECT_EQ(*back, value) << (format == Format::Binary ? "binary" : "XML");
        }
}

TEST(PlistKinds, NotANumberSurvivesBothFormats) {
    for (Format format : {Format::Binary, Format::Xml}) {
        auto back = plist::read(writeIn(format, PlistValue(NAN)).value());
        ASSERT_TRUE(back && back->isReal());
        EXPECT_TRUE(std::isnan(back->asReal()));
    }
}

TEST(PlistKinds, BinaryCarriesWhatXmlCannot) {
    for (const PlistValue& value : {PlistValue(PlistDate{12.75}),
                                    PlistValue(PlistArray{"a\0b"s, "bell \x07", "\xef\xbf\xbf"})})
        EXPECT_EQ(plist::read(plist::writeBinary(value).value()), value);
    // XML dates hold whole seconds, rounded down.
    EXPECT_EQ(plist::read(plist::writeXml(PlistDate{-0.5}).value()), PlistValue(PlistDate{-1}));
    EXPECT_NE(plist::writeXml(PlistDate{12.75}).value().find("<date>2001-01-01T00:00:12Z</date>"),
              std::string::npos);
}

// --- Binary widths ------------------------------------------------------------

TEST(BinaryWriter, WidthsFollowTheLargestReferenceAndOffset) {
    // Integers in the array (objects: one more), bytes of a data object written
    // before them, then the expected offset and reference sizes.
    const std::size_t cases[][4] = {
        {255, 0, 2, 1}, {256, 0, 2, 2}, {1, 70000, 4, 1}, {70000, 0, 4, 4}};
    for (const auto& [integers, dataBytes, offsetSize, refSize] : cases) {
        PlistArray array;
        if (dataBytes)
            array.push_back(PlistData{std::string(dataBytes, 'x')});
        for (std::size_t i = 0; i < integers; ++i)
            array.push_back(static_cast<std::int64_t>(i));
        auto bytes = plist::writeBinary(array);
        ASSERT_TRUE(bytes);
        auto trailer = [&](std::size_t back) {
            return std::size_t{static_cast<unsigned char>((*bytes)[bytes->size() - back])};
        };
        EXPECT_EQ(trailer(26), offsetSize) << integers << " integers, " << dataBytes << " bytes";
        EXPECT_EQ(trailer(25), refSize) << integers << " integers, " << dataBytes << " bytes";
        EXPECT_EQ(plist::read(*bytes), PlistValue(array));
    }
}

// --- Bad input ----------------------------------------------------------------

struct BadInput {
    std::string name;
    std::string bytes;
};

std::string randomBytes(unsigned seed, std::string out) {
    std::mt19937 rng(seed);
    while (out.size() < 300)
        out += static_cast<char>(rng() & 0xFF);
    return out;
}

std::string deepBinary(std::size_t levels) {
    std::vector<std::string> objects;
    for (std::size_t i = 0; i < levels; ++i)
        objects.push_back("\xA1"s + bigEndian(i + 1, 4));
    objects.push_back("\x10\x01");
    return binaryPlist(objects, 4, 4);
}

std::string repeated(std::string_view piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

std::vector<BadInput> badInputs() {
    const std::string huge = "\x13\x7f\xff\xff\xff\xff\xff\xff\xff";
    auto refs = [](std::size_t count, char ref) {
        return "\xAF\x11"s + bigEndian(count, 2) + std::string(count, ref);
    };
    std::vector<BadInput> cases = {
        {"RandomBytes", randomBytes(1, "")},
        {"RandomAfterMagic", randomBytes(2, "bplist00")},
        {"RandomAfterXmlHeader", randomBytes(3, "<?xml version=\"1.0\"?><plist>")},
        {"OtherBinaryVersion", binaryPlist({"\x09"}, 1, 1).replace(6, 2, "15")},
        {"SelfReferencingArray", binaryPlist({"\xA1\x00"s}, 1, 1)},
        {"CycleThroughADictionary", binaryPlist({"\xA1\x01", "\xD1\x02\x00"s, "\x51k"}, 1, 1)},
        {"DeepBinary", deepBinary(100000)},
        {"DeepXml", xmlPlist(repeated("<array>", 100000) + repeated("</array>", 100000))},
        {"HugeArrayCount", binaryPlist({"\xAF" + huge}, 1, 1)},
        {"HugeDictionaryCount", binaryPlist({"\xDF" + huge}, 1, 1)},
        {"HugeDataCount", binaryPlist({"\x4F" + huge}, 1, 1)},
        {"HugeUtf16Count", binaryPlist({"\x6F" + huge}, 1, 1)},
        {"HugeObjectCount",
         patchTrailer(binaryPlist({"\x09"}, 1, 1), 8, bigEndian(UINT64_MAX / 2, 8))},
        {"TopObjectOutOfRange", binaryPlist({"\x09"}, 1, 1, 1)},
        {"TableOffsetPastEnd",
         patchTrailer(binaryPlist({"\x09"}, 1, 1), 24, bigEndian(UINT64_MAX, 8))},
        {"OffsetSizeZero", patchTrailer(binaryPlist({"\x09"}, 1, 1), 6, "\0"s)},
        {"RefSizeNine", patchTrailer(binaryPlist({"\xA1\x01", "\x09"}, 1, 1), 7, "\x09")},
        {"OffsetIntoTrailer", binaryPlist({"\x09"}, 1, 1).replace(9, 1, "\x0a")},
        {"ReferenceOutOfRange", binaryPlist({"\xA1\x05"}, 1, 1)},
        // 2100 references to 2100 references to one integer: 4.4 million values.
        {"TooManyValues", binaryPlist({refs(2100, 1), refs(2100, 2), "\x10\x07"}, 2, 1)},
        // One 60000-byte string referenced 2000 times: 120 MB of text.
        {"TooManyBytes",
         binaryPlist({refs(2000, 1), "\x5F\x11"s + bigEndian(60000, 2) + std::string(60000, 'a')},
                     4, 1)},
        {"SixteenByteIntegerAbove64Bits",
         binaryPlist({"\x14"s + bigEndian(1, 8) + bigEndian(0, 8)}, 1, 1)},
        {"SixteenByteIntegerBelow64Bits",
         binaryPlist({"\x14"s + bigEndian(UINT64_MAX, 8) + bigEndian(1, 8)}, 1, 1)},
        {"BinaryNull", binaryPlist({"\x00"s}, 1, 1)},
        {"BinaryUid", binaryPlist({"\x80\x01"}, 1, 1)},
        {"AsciiStringWithHighByte", binaryPlist({"\x52\x41\xe9"}, 1, 1)},
        {"Utf16LoneHighSurrogate", binaryPlist({"\x62\xd8\x00\x00\x41"s}, 1, 1)},
        {"BinaryKeyWithNul", binaryPlist({"\xD1\x01\x02",
                                          "\x53"
                                          "a\0b"s,
                                          "\x09"},
                                         1, 1)},
        {"BinaryKeyNotString", binaryPlist({"\xD1\x01\x01", "\x10\x01"}, 1, 1)},
        {"XmlStringNotUtf8", xmlPlist("<string>\xff\xfe</string>")},
        {"XmlKeyWithNul", xmlPlist("<dict><key>a&#0;b</key><true/></dict>")},
        {"EntityDeclaration",
         "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aaaaaaaa\"><!ENTITY b "
         "\"&a;&a;&a;&a;&a;&a;\">]><plist><string>&b;</string></plist>"},
        {"UnknownElement", xmlPlist("<thing/>")},
        {"ElementInsideString", xmlPlist("<string><integer>1</integer></string>")},
        {"TextInsideDictionary", xmlPlist("<dict>stray<key>a</key><true/></dict>")},
        {"KeyWithoutValue", xmlPlist("<dict><key>a</key></dict>")},
        {"ValueWithoutKey", xmlPlist("<dict><true/></dict>")},
        {"KeyInArray", xmlPlist("<array><key>a</key></array>")},
        {"TwoRootValues", xmlPlist("<true/><false/>")},
        {"EmptyPlist", xmlPlist("")},
        {"IntegerOverflow", xmlPlist("<integer>18446744073709551616</integer>")},
        {"IntegerUnderflow", xmlPlist("<integer>-9223372036854775809</integer>")},
        {"HexOverflow", xmlPlist("<integer>0x10000000000000000</integer>")},
        {"IntegerWithLetters", xmlPlist("<integer>12ab</integer>")},
        {"SignedHex", xmlPlist("<integer>-0x10</integer>")},
        {"MalformedReal", xmlPlist("<real>1.2.3</real>")},
        {"MalformedDate", xmlPlist("<date>2024-02-30T00:00:00Z</date>")},
        {"YearZero", xmlPlist("<date>0000-01-01T00:00:00Z</date>")},
        {"MalformedBase64", xmlPlist("<data>AB*D</data>")},
        {"NotAPropertyList", "{ key = value; }"},
    };
    return cases;
}

class ReadRejects : public ::testing::TestWithParam<BadInput> {};

TEST_P(ReadRejects, WithAReadableError) {
    auto value = plist::read(GetParam().bytes);
    ASSERT_FALSE(value);
    EXPECT_FALSE(value.error().description.empty());
}

INSTANTIATE_TEST_SUITE_P(Malformed, ReadRejects, ::testing::ValuesIn(badInputs()),
                         [](const auto& info) { return info.param.name; });

TEST(ReadRejects, EveryTruncationOfAValidList) {
    for (Format format : {Format::Binary, Format::Xml}) {
        auto bytes = writeIn(
            format,
            PlistDictionary{{"k\u00e9y", PlistArray{true, 1, 2.5, "x", "\u65e5", PlistData{"\1\2"},
                                                    PlistDate{3}, PlistArray{}, INT64_MIN}},
                            {"d", PlistDictionary{{"e", 65536}}}});
        ASSERT_TRUE(bytes && plist::read(*bytes));
        // The XML form only becomes invalid once its closing tag is cut.
        std::size_t last = format == Format::Binary ? bytes->size() : bytes->rfind("</plist>") + 1;
        for (std::size_t length = 0; length < last; ++length)
            ASSERT_FALSE(plist::read(std::string_view(*bytes).substr(0, length))) << length;
    }
}

TEST(ReadRejects, NestingBeyondTheLimitButNotAtIt) {
    auto nested = [](int depth) {
        PlistValue value = 1;
        for (int i = 0; i < depth; ++i)
            value = PlistArray{std::move(value)};
        return value;
    };
    for (Format format : {Format::Binary, Format::Xml}) {
        auto atLimit = writeIn(format, nested(plist::kMaxDepth));
        ASSERT_TRUE(atLimit);
        EXPECT_TRUE(plist::read(*atLimit));
        EXPECT_FALSE(writeIn(format, nested(plist::kMaxDepth + 1)));
    }
    EXPECT_FALSE(plist::read(deepBinary(plist::kMaxDepth + 1)));
    EXPECT_TRUE(plist::read(deepBinary(plist::kMaxDepth)));
}

// --- Forms other writers use ---------------------------------------------------

TEST(PlistReader, ReadsFormsOtherWritersUse) {
    // Python's forms (wrapped base64, "inf", "1e+300") are read in the interop test.
    const std::vector<std::string> threeByteRefs = {"\xA2"s + bigEndian(1, 3) + bigEndian(2, 3),
                                                    "\x51z", "\x11\x01\x00"s};
    const std::tuple<const char*, std::string, PlistValue> cases[] = {
        {"true then one", binaryPlist({"\xA2\x01\x02", "\x09", "\x10\x01"}, 1, 1),
         PlistArray{true, 1}},
        {"2-byte offsets", binaryPlist(threeByteRefs, 2, 3), PlistArray{"z", 256}},
        {"3-byte offsets", binaryPlist(threeByteRefs, 3, 3), PlistArray{"z", 256}},
        {"5-byte offsets", binaryPlist(threeByteRefs, 5, 3), PlistArray{"z", 256}},
        {"shared 16-byte integer, float",
         binaryPlist({"\xA3\x01\x01\x02", "\x14"s + std::string(15, '\xff') + "\xfe",
                      "\x22\x3f\xc0\x00\x00"s},
                     1, 1),
         PlistArray{-2, -2, 1.5}},
        {"binary duplicate key",
         binaryPlist({"\xD2\x01\x01\x02\x03", "\x51k", "\x10\x01", "\x10\x02"}, 1, 1),
         PlistDictionary{{"k", 2}}},
        {"16-byte integers: unsigned, small, negative",
         binaryPlist({"\xA3\x01\x02\x03", "\x14"s + bigEndian(0, 8) + bigEndian(UINT64_MAX, 8),
                      "\x14"s + bigEndian(0, 8) + bigEndian(5, 8),
                      "\x14"s + bigEndian(UINT64_MAX, 8) + bigEndian(std::uint64_t{1} << 63, 8)},
                     1, 1),
         PlistArray{UINT64_MAX, 5, INT64_MIN}},
        {"hex integer", xmlPlist("<integer>0x1F</integer>"), 31},
        {"integers at the ends of the range",
         xmlPlist("<array><integer>18446744073709551615</integer><integer>0xFFFFFFFFFFFFFFFF"
                  "</integer><integer>-9223372036854775808</integer></array>"),
         PlistArray{UINT64_MAX, UINT64_MAX, INT64_MIN}},
        {"spaced signed integer", xmlPlist("<integer> -5 </integer>"), -5},
        {"plus sign", xmlPlist("<integer>+7</integer>"), 7},
        {"infinity", xmlPlist("<real>+infinity</real>"), INFINITY},
        {"base64 unpadded", xmlPlist("<data>YWI</data>"), PlistData{"ab"}},
        {"references", xmlPlist("<string>&amp;&#x1F600;<![CDATA[<x>]]></string>"),
         "&\U0001F600<x>"},
        {"XML duplicate key",
         xmlPlist("<dict><key>a</key><integer>1</integer><key>b</key><true/>"
                  "<key>a</key><integer>2</integer></dict>"),
         PlistDictionary{{"a", 2}, {"b", true}}},
        {"comments", xmlPlist("<!-- c --><array><!-- c --><false/></array>"), PlistArray{false}},
        {"bare root", "<array><string>x</string></array>", PlistArray{"x"}},
        {"Latin-1",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><plist><string>caf\xe9</string></plist>",
         "caf\u00e9"},
    };
    for (const auto& [name, bytes, expected] : cases) {
        auto value = plist::read(bytes);
        ASSERT_TRUE(value) << name << ": " << value.error().description;
        EXPECT_EQ(*value, expected) << name;
    }
}

TEST(PlistWriters, RefuseWhatTheFormatCannotCarry) {
    // The value, and whether the binary writer refuses it too.
    const std::tuple<const char*, PlistValue, bool> cases[] = {
        {"string not UTF-8", PlistArray{"ok", "\xc3\x28"}, true},
        {"encoded surrogate", "\xed\xa0\x80", true},
        {"key not UTF-8", PlistDictionary{{"\xff", 1}}, true},
        {"key with NUL", PlistDictionary{{"a\0b"s, 1}}, true},
        {"control character", "bell \x07", false},
        {"noncharacter U+FFFF", "\xef\xbf\xbf", false},
        {"NUL in string", "a\0b"s, false},
        {"date beyond year 9999", PlistDate{3e11}, false},
        {"NaN date", PlistDate{NAN}, false},
    };
    for (const auto& [name, value, binaryFails] : cases) {
        EXPECT_EQ(!plist::writeBinary(value), binaryFails) << name;
        auto xml = plist::writeXml(value);
        ASSERT_FALSE(xml) << name;
        EXPECT_FALSE(xml.error().description.empty()) << name;
    }
}

} // namespace
} // namespace corvane
