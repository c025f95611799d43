// Writer for XML property lists: the usual header and document type, one
// element per line, tab indentation.

#include "platform/plist/plist_codec_internal.h"
#include "platform/plist/plist_text.h"
#include "platform/unicode.h"

#include <charconv>
#include <cmath>

namespace corvane::plist {
namespace {

constexpr std::string_view kHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                     "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                     "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                                     "<plist version=\"1.0\">\n";

// Characters XML 1.0 forbids even as references: C0 controls other than tab,
// line feed and carriage return, and U+FFFE and U+FFFF.
bool hasForbiddenCharacter(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return true;
        // U+FFFE and U+FFFF are EF BF BE and EF BF BF.
        if (c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
            (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE)
            return true;
    }
    return false;
}

class XmlWriter {
  public:
    Expected<std::string> run(const PlistValue& root) {
        out_ = kHeader;
        if (!write(root, 0))
            return makeError(error_);
        out_ += "</plist>\n";
        return std::move(out_);
    }

  private:
    bool fail(std::string message) {
        error_ = "cannot write XML property list: " + std::move(message);
        return false;
    }

    void indent(int level) { out_.append(static_cast<std::size_t>(level), '\t'); }

    bool appendEscaped(std::string_view text) {
        if (!isValidUTF8(text))
            return fail("string is not valid UTF-8");
        if (hasForbiddenCharacter(text))
            return fail("string holds a character XML 1.0 cannot carry");
        for (char c : text) {
            switch (c) {
            case '&':
                out_ += "&amp;";
                break;
            case '<':
                out_ += "&lt;";
                break;
            case '>':
                out_ += "&gt;";
                break;
            case '\r':
                // A literal carriage return would be read back as a line feed.
                out_ += "&#13;";
                break;
            default:
                out_ += c;
            }
        }
        return true;
    }

    bool leaf(int level, std::string_view tag, std::string_view content) {
        indent(level);
        out_ += '<';
        out_ += tag;
        out_ += '>';
        out_ += content;
        out_ += "</";
        out_ += tag;
        out_ += ">\n";
        return true;
    }

    static std::string formatReal(double v) {
        if (std::isnan(v))
            return "nan";
        if (std::isinf(v))
            return v > 0 ? "inf" : "-inf";
        // The shortest text that reads back as the same double.
        char buffer[64];
        auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
        return std::string(buffer, end);
    }

    bool writeDate(int level, const PlistDate& date) {
        auto text = formatDate(date, DatePrecision::Seconds);
        if (!text)
            return fail("date outside the years 1 to 9999");
        return leaf(level, "date", *text);
    }

    bool writeData(int level, std::string_view bytes) {
        if (bytes.empty())
            return leaf(level, "data", "");
        std::string encoded = encodeBase64(bytes);
        indent(level);
        out_ += "<data>\n";
        constexpr std::size_t kLine = 68;
        for (std::size_t i = 0; i < encoded.size(); i += kLine) {
            indent(level);
            out_.append(encoded, i, kLine);
            out_ += '\n';
        }
        indent(level);
        out_ += "</data>\n";
        return true;
    }

    bool write(const PlistValue& value, int level) {
        const auto& s = value.storage();
        if (const bool* b = std::get_if<bool>(&s)) {
            indent(level);
            out_ += *b ? "<true/>\n" : "<false/>\n";
            return true;
        }
        if (const std::int64_t* i = std::get_if<std::int64_t>(&s))
            return leaf(level, "integer", std::to_string(*i));
        if (const std::uint64_t* u = std::get_if<std::uint64_t>(&s))
            return leaf(level, "integer", std::to_string(*u));
        if (const double* d = std::get_if<double>(&s))
            return leaf(level, "real", formatReal(*d));
        if (const PlistDate* date = std::get_if<PlistDate>(&s))
            return writeDate(level, *date);
        if (const PlistData* data = std::get_if<PlistData>(&s))
            return writeData(level, data->bytes);
        if (const std::string* text = std::get_if<std::string>(&s)) {
            indent(level);
            out_ += "<string>";
            if (!appendEscaped(*text))
                return false;
            out_ += "</string>\n";
            return true;
        }
        if (level >= kMaxDepth)
            return fail("nesting too deep");
        if (const PlistArray* array = std::get_if<PlistArray>(&s)) {
            indent(level);
            if (array->empty()) {
                out_ += "<array/>\n";
                return true;
            }
            out_ += "<array>\n";
            for (const PlistValue& child : *array)
                if (!write(child, level + 1))
                    return false;
            indent(level);
            out_ += "</array>\n";
            return true;
        }
        const PlistDictionary& dictionary = value.asDictionary();
        indent(level);
        if (dictionary.empty()) {
            out_ += "<dict/>\n";
            return true;
        }
        out_ += "<dict>\n";
        for (const auto& [key, child] : dictionary) {
            if (key.find('\0') != std::string::npos)
                return fail("dictionary key holds a NUL byte");
            indent(level + 1);
            out_ += "<key>";
            if (!appendEscaped(key))
                return false;
            out_ += "</key>\n";
            if (!write(child, level + 1))
                return false;
        }
        indent(level);
        out_ += "</dict>\n";
        return true;
    }

    std::string out_;
    std::string error_;
};

} // namespace

Expected<std::string> writeXml(const PlistValue& value) {
    return XmlWriter().run(value);
}

} // namespace corvane::plist
