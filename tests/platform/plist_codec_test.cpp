#include "platform/linux/plist_codec.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace corvane {
namespace {

using namespace std::string_literals;

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

struct TrailerWidths {
    unsigned offsetSize;
    unsigned refSize;
};

TrailerWidths trailerOf(const std::string& bytes) {
    return {static_cast<unsigned char>(bytes[bytes.size() - 26]),
            static_cast<unsigned char>(bytes[bytes.size() - 25])};
}

// --- Round trips --------------------------------------------------------------

PlistValue everyKind() {
    std::string allBytes;
    for (int i = 0; i < 256; ++i)
        allBytes += static_cast<char>(i);
    return PlistDictionary{
        {"zeta", true},
        {"alpha", false},
        {"one", 1},
        {"integers",
         PlistArray{0, -1, 255, 256, 65535, 65536, std::int64_t{1} << 32, INT64_MAX, INT64_MIN}},
        {"reals", PlistArray{0.1, -0.0, 1e300, -2.5e-310, 3.0, INFINITY, -INFINITY}},
        {"strings", PlistArray{"", "plain", "caf\u00e9", "\U0001F600 smile", "\u65e5\u672c",
                               "<&>\r\n\t ]]> \"'"}},
        {"data", PlistArray{PlistData{}, PlistData{allBytes}}},
        {"dates", PlistArray{PlistDate{0}, PlistDate{-978307200}, PlistDate{731244896}}},
        {"empty", PlistArray{PlistArray{}, PlistDictionary{}}},
        {"nested",
         PlistArray{PlistDictionary{{"k\u00e9y", PlistArray{PlistDictionary{{"x", 2}}}}}}},
        {"caf\u00e9 \U0001F600", "non-ASCII key"},
    };
}

class RoundTrip : public ::testing::TestWithParam<std::tuple<Format, PlistValue>> {};

TEST_P(RoundTrip, ReadsBackTheSameValueInTheSameOrder) {
    const auto& [format, value] = GetParam();
    auto bytes = writeIn(format, value);
    ASSERT_TRUE(bytes) << bytes.error().description;
    auto back = plist::read(*bytes);
    ASSERT_TRUE(back) << back.error().description;
    EXPECT_EQ(*back, value);
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, RoundTrip,
    ::testing::Combine(::testing::Values(Format::Binary, Format::Xml),
                       ::testing::Values(everyKind(), PlistValue(true), PlistValue(0),
                                         PlistValue("top-level string"), PlistValue(PlistArray{}),
                                         PlistValue(PlistData{"\x00\xff"s}),
                                         PlistValue(PlistDictionary{{"b", 1}, {"a", true}}))));

TEST(PlistKinds, NotANumberSurvivesBothFormats) {
    for (Format format : {Format::Binary, Format::Xml}) {
        auto back = plist::read(*writeIn(format, PlistValue(NAN)));
        ASSERT_TRUE(back);
        ASSERT_TRUE(back->isReal());
        EXPECT_TRUE(std::isnan(back->asReal()));
    }
}

TEST(PlistKinds, BinaryKeepsFractionalSecondsXmlWritesWholeSeconds) {
    PlistValue date(PlistDate{12.75});
    EXPECT_EQ(*plist::read(*plist::writeBinary(date)), date);
    EXPECT_EQ(*plist::read(*plist::writeXml(PlistDate{-0.5})), PlistValue(PlistDate{-1}));
    EXPECT_NE(plist::writeXml(date)->find("<date>2001-01-01T00:00:12Z</date>"), std::string::npos);
}

TEST(PlistKinds, BinaryCarriesWhatXmlCannot) {
    PlistValue value = PlistArray{"a\0b"s, "bell \x07", "\xef\xbf\xbf"};
    auto back = plist::read(*plist::writeBinary(value));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, value);
}

// --- Binary widths ------------------------------------------------------------

struct WidthCase {
    std::size_t integers;  // array elements: the object count is one more
    std::size_t dataBytes; // a data object written before the integers
    TrailerWidths expected;
};

class BinaryWidths : public ::testing::TestWithParam<WidthCase> {};

TEST_P(BinaryWidths, FollowTheLargestReferenceAndOffset) {
    const WidthCase& c = GetParam();
    PlistArray array;
    if (c.dataBytes)
        array.push_back(PlistData{std::string(c.dataBytes, 'x')});
    for (std::size_t i = 0; i < c.integers; ++i)
        array.push_back(static_cast<std::int64_t>(i));
    auto bytes = plist::writeBinary(array);
    ASSERT_TRUE(bytes);
    TrailerWidths widths = trailerOf(*bytes);
    EXPECT_EQ(widths.refSize, c.expected.refSize);
    EXPECT_EQ(widths.offsetSize, c.expected.offsetSize);
    auto back = plist::read(*bytes);
    ASSERT_TRUE(back) << back.error().description;
    EXPECT_EQ(*back, PlistValue(array));
}

INSTANTIATE_TEST_SUITE_P(Sizes, BinaryWidths,
                         ::testing::Values(WidthCase{255, 0, {2, 1}}, // 256 objects: refs 0..255
                                           WidthCase{256, 0, {2, 2}}, // 257 objects
                                           WidthCase{10, 0, {1, 1}}, WidthCase{1, 70000, {4, 1}},
                                           WidthCase{70000, 0, {4, 4}}));

struct HandBuilt {
    std::string name;
    std::vector<std::string> objects;
    unsigned offsetSize;
    unsigned refSize;
    PlistValue expected;
};

class BinaryReads : public ::testing::TestWithParam<HandBuilt> {};

TEST_P(BinaryReads, TheExpectedValue) {
    const HandBuilt& c = GetParam();
    auto value = plist::read(binaryPlist(c.objects, c.offsetSize, c.refSize));
    ASSERT_TRUE(value) << value.error().description;
    EXPECT_EQ(*value, c.expected);
}

const std::vector<std::string> kThreeByteRefs = {"\xA2"s + bigEndian(1, 3) + bigEndian(2, 3),
                                                 "\x51z", "\x11\x01\x00"s};

INSTANTIATE_TEST_SUITE_P(
    Objects, BinaryReads,
    ::testing::Values(
        HandBuilt{"TrueThenOne", {"\xA2\x01\x02", "\x09", "\x10\x01"}, 1, 1, PlistArray{true, 1}},
        HandBuilt{"TwoByteOffsets", kThreeByteRefs, 2, 3, PlistArray{"z", 256}},
        HandBuilt{"ThreeByteOffsets", kThreeByteRefs, 3, 3, PlistArray{"z", 256}},
        HandBuilt{"FiveByteOffsets", kThreeByteRefs, 5, 3, PlistArray{"z", 256}},
        HandBuilt{"SharedSixteenByteIntegerAndFloat",
                  {"\xA3\x01\x01\x02", "\x14"s + std::string(15, '\xff') + "\xfe",
                   "\x22\x3f\xc0\x00\x00"s},
                  1,
                  1,
                  PlistArray{-2, -2, 1.5}},
        HandBuilt{"LastDuplicateKeyWins",
                  {"\xD2\x01\x01\x02\x03", "\x51k", "\x10\x01", "\x10\x02"},
                  1,
                  1,
                  PlistDictionary{{"k", 2}}}),
    [](const auto& info) { return info.param.name; });

// --- Bad input ----------------------------------------------------------------

struct BadInput {
    std::string name;
    std::string bytes;
};

std::string randomBytes(unsigned seed, std::size_t size, std::string prefix = {}) {
    std::mt19937 rng(seed);
    std::string out = std::move(prefix);
    while (out.size() < size)
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

// An array of 2100 references to an array of 2100 references to one integer:
// 4.4 million values from a few kilobytes.
std::string squaredSharing() {
    std::string count = "\x11"s + bigEndian(2100, 2);
    return binaryPlist({"\xAF" + count + std::string(2100, '\x01'),
                        "\xAF" + count + std::string(2100, '\x02'), "\x10\x07"},
                       2, 1);
}

// One 60000-byte string referenced 2000 times: 120 MB of text.
std::string sharedLongString() {
    return binaryPlist({"\xAF\x11"s + bigEndian(2000, 2) + std::string(2000, '\x01'),
                        "\x5F\x11"s + bigEndian(60000, 2) + std::string(60000, 'a')},
                       4, 1);
}

std::vector<BadInput> badInputs() {
    const std::string huge = "\x13\x7f\xff\xff\xff\xff\xff\xff\xff";
    std::vector<BadInput> cases = {
        {"Empty", ""},
        {"RandomBytes", randomBytes(1, 300)},
        {"RandomAfterMagic", randomBytes(2, 300, "bplist00")},
        {"RandomAfterXmlHeader", randomBytes(3, 300, "<?xml version=\"1.0\"?><plist>")},
        {"OtherBinaryVersion", binaryPlist({"\x09"}, 1, 1).replace(6, 2, "15")},
        {"MagicOnly", "bplist00"},
        {"SelfReferencingArray", binaryPlist({"\xA1\x00"s}, 1, 1)},
        {"SelfReferencingDictionary", binaryPlist({"\xD1\x01\x00"s, "\x51k"}, 1, 1)},
        {"IndirectCycle", binaryPlist({"\xA1\x01", "\xA1\x00"s}, 1, 1)},
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
        {"TooManyValues", squaredSharing()},
        {"TooManyBytes", sharedLongString()},
        {"SixteenByteIntegerAbove64Bits",
         binaryPlist({"\x14"s + std::string(8, '\0') + "\x80" + std::string(7, '\0')}, 1, 1)},
        {"BinaryNull", binaryPlist({"\x00"s}, 1, 1)},
        {"BinaryUid", binaryPlist({"\x80\x01"}, 1, 1)},
        {"BinarySet", binaryPlist({"\xC1\x01", "\x09"}, 1, 1)},
        {"AsciiStringWithHighByte", binaryPlist({"\x52\x41\xe9"}, 1, 1)},
        {"Utf16LoneHighSurrogate", binaryPlist({"\x62\xd8\x00\x00\x41"s}, 1, 1)},
        {"Utf16LoneLowSurrogate", binaryPlist({"\x61\xdc\x00"s}, 1, 1)},
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
        {"TextInsideTrue", xmlPlist("<true>yes</true>")},
        {"KeyWithoutValue", xmlPlist("<dict><key>a</key></dict>")},
        {"TwoKeysInARow", xmlPlist("<dict><key>a</key><key>b</key><true/></dict>")},
        {"ValueWithoutKey", xmlPlist("<dict><true/></dict>")},
        {"KeyInArray", xmlPlist("<array><key>a</key></array>")},
        {"TwoRootValues", xmlPlist("<true/><false/>")},
        {"EmptyPlist", xmlPlist("")},
        {"IntegerOverflow", xmlPlist("<integer>9223372036854775808</integer>")},
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
        auto bytes = writeIn(format, everyKind());
        ASSERT_TRUE(bytes);
        ASSERT_TRUE(plist::read(*bytes));
        // The XML form only becomes invalid once its closing tag is cut.
        std::size_t last = format == Format::Binary ? bytes->size() : bytes->rfind("</plist>") + 1;
        for (std::size_t length = 0; length < last; ++length)
            ASSERT_FALSE(plist::read(std::string_view(*bytes).substr(0, length))) << length;
    }
}

TEST(ReadRejects, NestingBeyondTheLimitButNotAtIt) {
    auto nested = [](int depth) {
        PlistValue value = 1;
        for (int i = 0; i < depth; ++i) {
            PlistArray wrapper;
            wrapper.push_back(std::move(value));
            value = std::move(wrapper);
        }
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

// --- XML specifics --------------------------------------------------------------

struct XmlCase {
    std::string name;
    std::string body;
    PlistValue expected;
};

class XmlReads : public ::testing::TestWithParam<XmlCase> {};

TEST_P(XmlReads, TheExpectedValue) {
    auto value = plist::read(xmlPlist(GetParam().body));
    ASSERT_TRUE(value) << value.error().description;
    EXPECT_EQ(*value, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, XmlReads,
    ::testing::Values(
        XmlCase{"HexInteger", "<integer>0x1F</integer>", 31},
        XmlCase{"SpacedSignedInteger", "<integer> -5 </integer>", -5},
        XmlCase{"PlusInteger", "<integer>+7</integer>", 7},
        XmlCase{"Infinity", "<real>+infinity</real>", INFINITY},
        XmlCase{"NegativeInf", "<real>-inf</real>", -INFINITY},
        XmlCase{"Exponent", "<real>1e3</real>", 1000.0},
        XmlCase{"UnixEpoch", "<date>1970-01-01T00:00:00Z</date>", PlistDate{-978307200}},
        XmlCase{"LeapDay", "<date>2024-02-29T12:34:56Z</date>", PlistDate{730902896}},
        XmlCase{"Base64WithWhitespace", "<data>\n\tAAH/\n\tYQ==\n</data>",
                PlistData{"\0\1\xff"
                          "a"s}},
        XmlCase{"Base64Unpadded", "<data>YWI</data>", PlistData{"ab"}},
        XmlCase{"References", "<string>&amp;&#x1F600;<![CDATA[<x>]]></string>", "&\U0001F600<x>"},
        XmlCase{"LastDuplicateWins",
                "<dict><key>a</key><integer>1</integer><key>b</key><true/>"
                "<key>a</key><integer>2</integer></dict>",
                PlistDictionary{{"a", 2}, {"b", true}}},
        XmlCase{"Comments", "<!-- c --><array><!-- c --><false/></array>", PlistArray{false}}),
    [](const auto& info) { return info.param.name; });

TEST(XmlReads, BareRootAndLegacyEncodings) {
    EXPECT_EQ(*plist::read("<array><string>x</string></array>"), PlistValue(PlistArray{"x"}));
    auto latin1 = plist::read("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                              "<plist><string>caf\xe9</string></plist>");
    ASSERT_TRUE(latin1);
    EXPECT_EQ(*latin1, PlistValue("caf\u00e9"));
}

TEST(XmlWriter, WritesTheStandardLayout) {
    auto xml =
        plist::writeXml(PlistDictionary{{"b", PlistArray{1, "x<y"}}, {"a", PlistDictionary{}}});
    ASSERT_TRUE(xml);
    EXPECT_EQ(*xml, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                    "<plist version=\"1.0\">\n"
                    "<dict>\n"
                    "\t<key>b</key>\n"
                    "\t<array>\n"
                    "\t\t<integer>1</integer>\n"
                    "\t\t<string>x&lt;y</string>\n"
                    "\t</array>\n"
                    "\t<key>a</key>\n"
                    "\t<dict/>\n"
                    "</dict>\n"
                    "</plist>\n");
}

// --- Writers refuse what they cannot carry -------------------------------------

struct Unwritable {
    std::string name;
    PlistValue value;
    bool binaryFails;
};

class WriteRejects : public ::testing::TestWithParam<Unwritable> {};

TEST_P(WriteRejects, WhatTheFormatCannotCarry) {
    EXPECT_EQ(!plist::writeBinary(GetParam().value), GetParam().binaryFails);
    auto xml = plist::writeXml(GetParam().value);
    ASSERT_FALSE(xml);
    EXPECT_FALSE(xml.error().description.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Values, WriteRejects,
    ::testing::Values(Unwritable{"StringNotUtf8", PlistArray{"ok", "\xc3\x28"}, true},
                      Unwritable{"EncodedSurrogate", "\xed\xa0\x80", true},
                      Unwritable{"KeyNotUtf8", PlistDictionary{{"\xff", 1}}, true},
                      Unwritable{"KeyWithNul", PlistDictionary{{"a\0b"s, 1}}, true},
                      Unwritable{"ControlCharacter", "bell \x07", false},
                      Unwritable{"NoncharacterFFFF", "\xef\xbf\xbf", false},
                      Unwritable{"NulInString", "a\0b"s, false},
                      Unwritable{"DateBeyondYear9999", PlistDate{3e11}, false},
                      Unwritable{"NotANumberDate", PlistDate{NAN}, false}),
    [](const auto& info) { return info.param.name; });

} // namespace
} // namespace corvane
