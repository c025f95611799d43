#include "platform/plist/plist_codec.h"
#include "tests/platform/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane {
namespace {

using namespace std::string_literals;

Expected<std::string> (*const kWriters[])(const PlistValue&) = {plist::writeBinary,
                                                                plist::writeXml};

std::string bigEndian(std::uint64_t value, unsigned width) {
    std::string out;
    for (unsigned i = width; i-- > 0;)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

/// Lays out encoded objects as a binary property list with the given widths.
std::string binaryPlist(const std::vector<std::string>& objects, unsigned offsetSize = 1,
                        unsigned refSize = 1, std::uint64_t top = 0) {
    std::string out = "bplist00", table;
    for (const std::string& object : objects) {
        table += bigEndian(out.size(), offsetSize);
        out += object;
    }
    const std::uint64_t tableOffset = out.size();
    out += table + std::string(6, '\0') + char(offsetSize) + char(refSize);
    return out + bigEndian(objects.size(), 8) + bigEndian(top, 8) + bigEndian(tableOffset, 8);
}

std::string xmlPlist(std::string_view body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" +
           std::string(body) + "</plist>";
}

TEST(PlistCodec, ReadsBackWhatItWritesAndRefusesWhatAFormatCannotCarry) {
    for (auto write : kWriters) {
        EXPECT_EQ(plist::read(write("top \r\n and \r").value()), PlistValue("top \r\n and \r"));
        auto nan = plist::read(write(NAN).value());
        EXPECT_TRUE(nan && nan->isReal() && std::isnan(nan->asReal()));
    }
    // Wider references and offsets are checked by plistlib reading ours.
    const PlistValue binaryOnly = PlistArray{PlistDate{12.75}, "a\0b"s, "\x07", "\xef\xbf\xbf"};
    EXPECT_EQ(plist::read(plist::writeBinary(binaryOnly).value()), binaryOnly);
    EXPECT_EQ(plist::read(plist::writeXml(PlistDate{-0.25}).value()), PlistValue(PlistDate{-1}))
        << "XML dates hold whole seconds, rounded down";
    // Refused by both writers, then by the XML writer alone.
    for (const PlistValue& value :
         {PlistValue("\xc3\x28"), PlistValue(PlistDictionary{{"a\0b"s, 1}}),
          PlistValue(PlistDictionary{{"\xff", 1}})})
        EXPECT_TRUE(!plist::writeBinary(value) && !plist::writeXml(value));
    for (const PlistValue& value :
         {PlistValue("bell \x07"), PlistValue("\xef\xbf\xbf"), PlistValue(PlistDate{2.6e11})}) {
        auto xml = plist::writeXml(value);
        EXPECT_TRUE(plist::writeBinary(value) && !xml && !xml.error().description.empty());
    }
}

// Forms our writers do not use: wider offsets and references, 16-byte and
// shared integers, 4-byte reals, repeated keys, XML's looser number forms,
// references, comments, other encodings.
TEST(PlistCodec, ReadsTheFormsOtherWritersUse) {
    const std::string int16 = "\x14"s + bigEndian(UINT64_MAX, 8) + bigEndian(1ull << 63, 8);
    const std::pair<std::string, PlistValue> cases[] = {
        {binaryPlist(
             {"\xA4"s + bigEndian(1, 3) + bigEndian(2, 3) + bigEndian(2, 3) + bigEndian(3, 3),
              "\x51z", int16, "\x22\x3f\xc0\x00\x00"s},
             5, 3),
         PlistArray{"z", INT64_MIN, INT64_MIN, 1.5}},
        {binaryPlist({"\xD2\x01\x01\x02\x03", "\x51k", "\x10\x01",
                      "\x14"s + bigEndian(0, 8) + bigEndian(UINT64_MAX, 8)}),
         PlistDictionary{{"k", UINT64_MAX}}},
        {xmlPlist("<array><integer>0x1F</integer><integer> -5 </integer><integer>+7</integer>"
                  "<integer>18446744073709551615</integer><real>+infinity</real>"
                  "<data>YW\nI</data><!-- c --><string>&amp;&#x1F600;<![CDATA[<x>]]></string>"
                  "<dict><key>a</key><true/><key>b</key><true/><key>a</key><false/></dict>"
                  "</array>"),
         PlistArray{31, -5, 7, UINT64_MAX, INFINITY, PlistData{"ab"}, "&\U0001F600<x>",
                    PlistDictionary{{"a", false}, {"b", true}}}},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><array><string>caf\xe9</string></array>",
         PlistArray{"caf\u00e9"}},
    };
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(plist::read(bytes), expected) << testing::failure(plist::read(bytes));
}

// One input per kind of damage; the fuzzer (scripts/fuzz.sh) tries the rest.
// Checks that only keep memory safe (an offset size of zero, a count beyond
// the file) show under the sanitizers.
TEST(PlistCodec, RefusesDamagedInputWithAReadableError) {
    auto refs = [](std::size_t count, char ref) {
        return "\xAF\x11"s + bigEndian(count, 2) + std::string(count, ref);
    };
    std::vector<std::string> bad = {
        binaryPlist({"\x09"}).replace(6, 2, "15"),    // another version
        binaryPlist({"\x09"}, 0),                     // offset size zero
        binaryPlist({"\x09"}).replace(18, 1, "\x7f"), // more objects than the table holds
        binaryPlist({"\xDF\x13\x7f\xff\xff\xff\xff\xff\xff\xff"}), // a count beyond the file
        // 2100 references to 2100 references to one integer: 4.4 million values.
        binaryPlist({refs(2100, 1), refs(2100, 2), "\x10\x07"}, 2),
        // One 60000-byte string referenced 2000 times: 120 MB of text.
        binaryPlist({refs(2000, 1), "\x5F\x11"s + bigEndian(60000, 2) + std::string(60000, 'a')},
                    4),
        binaryPlist({"\x14"s + bigEndian(1, 8) + bigEndian(0, 8)}), // beyond 64 bits
        binaryPlist({"\x00"s}),                                     // null
        binaryPlist({"\x80\x01"}),                                  // UID
        binaryPlist({"\x52\x41\xe9"}),                              // ASCII above 127
        binaryPlist({"\x62\xd8\x00\x00\x41"s}),                     // lone surrogate
        binaryPlist({"\xD1\x01\x02", "\x53\x61\x00\x62"s, "\x09"}), // key with NUL
        binaryPlist({"\xD1\x01\x01", "\x10\x01"}),                  // key not a string
        "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aaaaaaaa\"><!ENTITY b "
        "\"&a;&a;&a;&a;&a;&a;\">]><plist><string>&b;</string></plist>"};
    for (const char* body :
         {"<thing/>", "<string><integer>1</integer></string>",
          "<dict>stray<key>a</key><true/></dict>", "<dict><key>a</key></dict>",
          "<dict><true/></dict>", "<array><key>a</key></array>", "<true/><false/>", "",
          "<integer>18446744073709551616</integer>", "<integer>-0x10</integer>",
          "<real>1.2.3</real>", "<date>2024-02-30T00:00:00Z</date>",
          "<date>0000-01-01T00:00:00Z</date>", "<data>AB*D</data>"})
        bad.push_back(xmlPlist(body));
    for (const std::string& bytes : bad) {
        auto value = plist::read(bytes);
        EXPECT_TRUE(!value && !value.error().description.empty())
            << ::testing::PrintToString(bytes.substr(0, 80));
    }
}

TEST(PlistCodec, RefusesEveryTruncationAndNestingBeyondTheLimitButNotAtIt) {
    const PlistValue value = PlistDictionary{
        {"k\u00e9y", PlistArray{true, 1, 2.5, "\u65e5", PlistData{"\1"}, PlistDate{3}, INT64_MIN}},
        {"d", PlistDictionary{{"e", 65536}}}};
    for (auto write : kWriters) {
        const std::string bytes = write(value).value();
        // The XML form only becomes invalid once its closing tag is cut.
        const std::size_t end = bytes.starts_with("bplist") ? bytes.size() : bytes.rfind("</p") + 1;
        for (std::size_t length = 0; length < end; ++length)
            ASSERT_FALSE(plist::read(std::string_view(bytes).substr(0, length))) << length;
    }

    // `levels` arrays around one value, as we write them and as others might.
    auto nested = [](int levels) {
        PlistValue value = 1;
        for (int i = 0; i < levels; ++i)
            value = PlistArray{std::move(value)};
        return value;
    };
    auto deep = [](std::size_t levels) {
        std::vector<std::string> objects;
        std::string open, close;
        for (std::size_t i = 0; i < levels; ++i)
            objects.push_back("\xA1"s + bigEndian(i + 1, 4)), open += "<array>",
                close += "</array>";
        objects.push_back("\x09");
        return std::pair{binaryPlist(objects, 4, 4), xmlPlist(open + "<true/>" + close)};
    };
    for (auto write : kWriters) {
        EXPECT_TRUE(plist::read(write(nested(plist::kMaxDepth)).value()));
        EXPECT_FALSE(write(nested(plist::kMaxDepth + 1)));
    }
    const auto [binaryAtLimit, xmlAtLimit] = deep(plist::kMaxDepth);
    const auto [binaryBeyond, xmlBeyond] = deep(plist::kMaxDepth + 1);
    EXPECT_TRUE(plist::read(binaryAtLimit) && plist::read(xmlAtLimit));
    EXPECT_FALSE(plist::read(binaryBeyond) || plist::read(xmlBeyond));
}

} // namespace
} // namespace corvane
