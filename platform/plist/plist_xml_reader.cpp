// Reader for XML property lists, on expat. The tree is built with an
// explicit stack, so deep input costs heap, not call stack; entity
// declarations are refused outright so no expansion can blow up.

#include "platform/plist/plist_codec_internal.h"
#include "platform/plist/plist_text.h"
#include "platform/unicode.h"

#include <expat.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <optional>
#include <vector>

namespace corvane::plist::detail {
namespace {

enum class Element { Plist, Dict, Array, Key, String, Integer, Real, Date, Data, True, False };

std::optional<Element> elementNamed(std::string_view name) {
    static constexpr std::pair<std::string_view, Element> kNames[] = {
        {"plist", Element::Plist}, {"dict", Element::Dict},     {"array", Element::Array},
        {"key", Element::Key},     {"string", Element::String}, {"integer", Element::Integer},
        {"real", Element::Real},   {"date", Element::Date},     {"data", Element::Data},
        {"true", Element::True},   {"false", Element::False},
    };
    for (const auto& [n, e] : kNames)
        if (n == name)
            return e;
    return std::nullopt;
}

bool isContainer(Element e) {
    return e == Element::Plist || e == Element::Dict || e == Element::Array;
}

bool isXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isXmlSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isXmlSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// The whole of `text` as a `T` in `base`, or none.
template <typename T> std::optional<PlistValue> parseWhole(std::string_view text, int base) {
    T value{};
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return PlistValue(value);
}

// Decimal with an optional sign, or hexadecimal after "0x"; surrounding
// white space is ignored. Anything from INT64_MIN to UINT64_MAX.
std::optional<PlistValue> parseInteger(std::string_view text) {
    text = trimmed(text);
    if (text.starts_with("0x") || text.starts_with("0X"))
        return parseWhole<std::uint64_t>(text.substr(2), 16);
    if (text.starts_with("-"))
        return parseWhole<std::int64_t>(text, 10);
    if (text.starts_with("+"))
        text.remove_prefix(1); // a sign after it fails the unsigned parse
    return parseWhole<std::uint64_t>(text, 10);
}

std::optional<double> parseReal(std::string_view text) {
    text = trimmed(text);
    if (text.starts_with("+")) {
        text.remove_prefix(1);
        if (text.starts_with("-"))
            return std::nullopt;
    }
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

class XmlReader {
  public:
    XmlReader() : parser_(XML_ParserCreate(nullptr), XML_ParserFree) {}

    Expected<PlistValue> run(std::string_view bytes) {
        if (!parser_)
            return makeError("XML property list: cannot create parser");
        XML_Parser p = parser_.get();
        XML_SetUserData(p, this);
        XML_SetElementHandler(p, &XmlReader::onStart, &XmlReader::onEnd);
        XML_SetCharacterDataHandler(p, &XmlReader::onText);
        XML_SetEntityDeclHandler(p, &XmlReader::onEntityDecl);
        XML_SetSkippedEntityHandler(p, &XmlReader::onSkippedEntity);
        XML_SetParamEntityParsing(p, XML_PARAM_ENTITY_PARSING_NEVER);

        // XML_Parse takes an int length: feed large input in pieces.
        constexpr std::size_t kChunk = 1 << 20;
        do {
            std::size_t n = std::min(kChunk, bytes.size());
            bool last = n == bytes.size();
            if (XML_Parse(p, bytes.data(), static_cast<int>(n), last) != XML_STATUS_OK) {
                if (!error_.empty())
                    return makeError(error_);
                return makeError(
                    "XML property list: " + std::string(XML_ErrorString(XML_GetErrorCode(p))) +
                    " at line " + std::to_string(XML_GetCurrentLineNumber(p)));
            }
            bytes.remove_prefix(n);
        } while (!bytes.empty());
        if (!result_)
            return makeError("XML property list: no value");
        return std::move(*result_);
    }

  private:
    struct Frame {
        Element element;
        std::string text;
        PlistArray array;
        DictionaryBuilder dictionary;
        std::optional<std::string> pendingKey;
        std::optional<PlistValue> plistValue;
    };

    void fail(std::string message) {
        if (error_.empty())
            error_ = "XML property list: " + std::move(message);
        XML_StopParser(parser_.get(), XML_FALSE);
    }

    static void XMLCALL onStart(void* self, const XML_Char* name, const XML_Char**) {
        static_cast<XmlReader*>(self)->start(name);
    }
    static void XMLCALL onEnd(void* self, const XML_Char*) { static_cast<XmlReader*>(self)->end(); }
    static void XMLCALL onText(void* self, const XML_Char* s, int length) {
        static_cast<XmlReader*>(self)->text(std::string_view(s, static_cast<std::size_t>(length)));
    }
    static void XMLCALL onEntityDecl(void* self, const XML_Char*, int, const XML_Char*, int,
                                     const XML_Char*, const XML_Char*, const XML_Char*,
                                     const XML_Char*) {
        static_cast<XmlReader*>(self)->fail("entity declarations are not allowed");
    }
    static void XMLCALL onSkippedEntity(void* self, const XML_Char*, int) {
        static_cast<XmlReader*>(self)->fail("reference to an undeclared entity");
    }

    void start(std::string_view name) {
        if (!error_.empty())
            return;
        std::optional<Element> element = elementNamed(name);
        if (!element)
            return fail("unknown element <" + std::string(name) + ">");
        if (++values_ > kMaxValues)
            return fail("too many values");
        if (stack_.empty()) {
            if (result_ || *element == Element::Key)
                return fail("<" + std::string(name) + "> cannot stand here");
        } else {
            Frame& parent = stack_.back();
            if (!isContainer(parent.element))
                return fail("<" + std::string(name) + "> inside a value");
            if (*element == Element::Plist)
                return fail("<plist> inside a value");
            if (parent.element == Element::Dict) {
                if ((*element == Element::Key) == parent.pendingKey.has_value())
                    return fail(parent.pendingKey ? "dictionary key without a value"
                                                  : "dictionary value without a key");
            } else if (*element == Element::Key) {
                return fail("<key> outside a dictionary");
            } else if (parent.element == Element::Plist && parent.plistValue) {
                return fail("<plist> holds more than one value");
            }
        }
        if (*element == Element::Dict || *element == Element::Array) {
            if (++containerDepth_ > kMaxDepth)
                return fail("nesting too deep");
        }
        stack_.push_back(Frame{*element, {}, {}, {}, {}, {}});
    }

    void text(std::string_view s) {
        if (!error_.empty() || stack_.empty())
            return;
        Frame& top = stack_.back();
        switch (top.element) {
        case Element::Plist:
        case Element::Dict:
        case Element::Array:
        case Element::True:
        case Element::False:
            if (!std::all_of(s.begin(), s.end(), isXmlSpace))
                fail("text where no text can stand");
            return;
        default:
            top.text.append(s);
        }
    }

    void end() {
        if (!error_.empty())
            return;
        Frame frame = std::move(stack_.back());
        stack_.pop_back();
        if (frame.element == Element::Key) {
            if (std::string problem = keyProblem(frame.text); !problem.empty())
                return fail(problem);
            stack_.back().pendingKey = std::move(frame.text);
            return;
        }
        std::optional<PlistValue> value = finish(frame);
        if (!value)
            return;
        if (stack_.empty()) {
            result_ = std::move(value);
            return;
        }
        Frame& parent = stack_.back();
        switch (parent.element) {
        case Element::Array:
            parent.array.push_back(std::move(*value));
            break;
        case Element::Dict:
            parent.dictionary.add(std::move(*parent.pendingKey), std::move(*value));
            parent.pendingKey.reset();
            break;
        default:
            parent.plistValue = std::move(value);
        }
    }

    std::optional<PlistValue> finish(Frame& frame) {
        switch (frame.element) {
        case Element::Plist:
            if (!frame.plistValue) {
                fail("<plist> holds no value");
                return std::nullopt;
            }
            return std::move(frame.plistValue);
        case Element::Dict:
            --containerDepth_;
            if (frame.pendingKey) {
                fail("dictionary key without a value");
                return std::nullopt;
            }
            return PlistValue(frame.dictionary.take());
        case Element::Array:
            --containerDepth_;
            return PlistValue(std::move(frame.array));
        case Element::String:
            if (!isValidUTF8(frame.text)) {
                fail("string is not valid UTF-8");
                return std::nullopt;
            }
            return PlistValue(std::move(frame.text));
        case Element::Integer:
            if (auto v = parseInteger(frame.text))
                return v;
            fail("malformed <integer>");
            return std::nullopt;
        case Element::Real:
            if (auto v = parseReal(frame.text))
                return PlistValue(*v);
            fail("malformed <real>");
            return std::nullopt;
        case Element::Date:
            if (auto v = parseDate(trimmed(frame.text)))
                return PlistValue(*v);
            fail("malformed <date>");
            return std::nullopt;
        case Element::Data:
            if (auto v = decodeBase64(frame.text))
                return PlistValue(PlistData{std::move(*v)});
            fail("malformed <data>");
            return std::nullopt;
        case Element::True:
            return PlistValue(true);
        case Element::False:
            return PlistValue(false);
        case Element::Key:
            break;
        }
        return std::nullopt;
    }

    std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser_;
    std::vector<Frame> stack_;
    std::optional<PlistValue> result_;
    std::size_t values_ = 0;
    int containerDepth_ = 0;
    std::string error_;
};

} // namespace

Expected<PlistValue> readXml(std::string_view bytes) {
    return XmlReader().run(bytes);
}

} // namespace corvane::plist::detail
