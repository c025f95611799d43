#include "platform/linux/gvariant_plist.h"

#include <glib.h>

#include <cstdint>
#include <string>

namespace corvane {

namespace {

// GVariant itself refuses deeper values on receipt.
constexpr int kMaxReceiveDepth = 128;

/// Takes over a full reference, or sinks a floating one.
Glib::VariantBase own(GVariant* value) {
    return Glib::VariantBase(value);
}

// Checked before anything is built, so that building cannot fail halfway.
// Values under keys that are left out do not count.
bool nestsWithinLimit(const PlistValue& value, int depth);

bool nestsWithinLimit(const PlistDictionary& dictionary, int depth) {
    if (depth > kMaxVariantNesting)
        return false;
    for (const auto& [key, element] : dictionary)
        if (isDBusString(key) && !nestsWithinLimit(element, depth + 1))
            return false;
    return true;
}

bool nestsWithinLimit(const PlistValue& value, int depth) {
    if (const PlistDictionary* dictionary = std::get_if<PlistDictionary>(&value.storage()))
        return nestsWithinLimit(*dictionary, depth);
    const PlistArray* array = std::get_if<PlistArray>(&value.storage());
    if (!array)
        return true;
    if (depth > kMaxVariantNesting)
        return false;
    for (const PlistValue& element : *array)
        if (!nestsWithinLimit(element, depth + 1))
            return false;
    return true;
}

Glib::VariantBase toVariant(const PlistValue& value);

Glib::VariantBase dictionaryVariant(const PlistDictionary& dictionary) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE_VARDICT);
    for (const auto& [key, value] : dictionary) {
        if (!isDBusString(key))
            continue;
        Glib::VariantBase child = toVariant(value);
        g_variant_builder_add(&builder, "{sv}", key.c_str(), child.gobj());
    }
    return own(g_variant_builder_end(&builder));
}

Glib::VariantBase toVariant(const PlistValue& value) {
    const auto& storage = value.storage();
    if (const bool* b = std::get_if<bool>(&storage))
        return own(g_variant_new_boolean(*b));
    if (const std::int64_t* i = std::get_if<std::int64_t>(&storage))
        return own(g_variant_new_int64(*i));
    if (const std::uint64_t* u = std::get_if<std::uint64_t>(&storage))
        return own(g_variant_new_uint64(*u));
    if (const double* d = std::get_if<double>(&storage))
        return own(g_variant_new_double(*d));
    if (const std::string* s = std::get_if<std::string>(&storage))
        return isDBusString(*s) ? own(g_variant_new_string(s->c_str())) : bytesVariant(*s);
    if (const PlistData* data = std::get_if<PlistData>(&storage))
        return bytesVariant(data->bytes);
    if (const PlistDate* date = std::get_if<PlistDate>(&storage))
        return own(
            g_variant_new("(d)", date->secondsSinceReferenceDate + PlistDate::kEpochUnixSeconds));
    if (const PlistArray* array = std::get_if<PlistArray>(&storage)) {
        GVariantBuilder builder;
        g_variant_builder_init(&builder, G_VARIANT_TYPE("av"));
        for (const PlistValue& element : *array) {
            Glib::VariantBase child = toVariant(element);
            g_variant_builder_add(&builder, "v", child.gobj());
        }
        return own(g_variant_builder_end(&builder));
    }
    return dictionaryVariant(std::get<PlistDictionary>(storage));
}

Expected<Glib::VariantBase> checkedVariant(const auto& value, auto build) {
    if (!nestsWithinLimit(value, 1))
        return makeError("the value nests deeper than " + std::to_string(kMaxVariantNesting) +
                         " arrays and dictionaries");
    return build();
}

std::optional<PlistValue> fromVariant(GVariant* value, int depth);

std::optional<PlistValue> dictionaryFromVariant(GVariant* value, int depth) {
    PlistDictionary dictionary;
    const gsize count = g_variant_n_children(value);
    for (gsize i = 0; i < count; ++i) {
        Glib::VariantBase entry = own(g_variant_get_child_value(value, i));
        Glib::VariantBase key = own(g_variant_get_child_value(entry.gobj(), 0));
        Glib::VariantBase child = own(g_variant_get_child_value(entry.gobj(), 1));
        if (auto converted = fromVariant(child.gobj(), depth + 1))
            dictionary.set(g_variant_get_string(key.gobj(), nullptr), std::move(*converted));
    }
    return PlistValue(std::move(dictionary));
}

std::optional<PlistValue> arrayFromVariant(GVariant* value, int depth) {
    PlistArray array;
    const gsize count = g_variant_n_children(value);
    for (gsize i = 0; i < count; ++i) {
        Glib::VariantBase child = own(g_variant_get_child_value(value, i));
        if (auto converted = fromVariant(child.gobj(), depth + 1))
            array.push_back(std::move(*converted));
    }
    return PlistValue(std::move(array));
}

std::optional<PlistValue> fromVariant(GVariant* value, int depth) {
    if (!value || depth > kMaxReceiveDepth)
        return std::nullopt;
    const GVariantType* type = g_variant_get_type(value);
    switch (g_variant_classify(value)) {
    case G_VARIANT_CLASS_BOOLEAN:
        return PlistValue(static_cast<bool>(g_variant_get_boolean(value)));
    case G_VARIANT_CLASS_BYTE:
        return PlistValue(std::int64_t{g_variant_get_byte(value)});
    case G_VARIANT_CLASS_INT16:
        return PlistValue(std::int64_t{g_variant_get_int16(value)});
    case G_VARIANT_CLASS_UINT16:
        return PlistValue(std::int64_t{g_variant_get_uint16(value)});
    case G_VARIANT_CLASS_INT32:
        return PlistValue(std::int64_t{g_variant_get_int32(value)});
    case G_VARIANT_CLASS_UINT32:
        return PlistValue(std::int64_t{g_variant_get_uint32(value)});
    case G_VARIANT_CLASS_INT64:
        return PlistValue(std::int64_t{g_variant_get_int64(value)});
    case G_VARIANT_CLASS_UINT64:
        return PlistValue(std::uint64_t{g_variant_get_uint64(value)});
    case G_VARIANT_CLASS_DOUBLE:
        return PlistValue(g_variant_get_double(value));
    case G_VARIANT_CLASS_STRING:
    case G_VARIANT_CLASS_OBJECT_PATH:
    case G_VARIANT_CLASS_SIGNATURE:
        return PlistValue(std::string(g_variant_get_string(value, nullptr)));
    case G_VARIANT_CLASS_VARIANT:
        return fromVariant(own(g_variant_get_variant(value)).gobj(), depth + 1);
    case G_VARIANT_CLASS_MAYBE:
        // An absent maybe has no content: null, which maps to nothing.
        return fromVariant(own(g_variant_get_maybe(value)).gobj(), depth + 1);
    case G_VARIANT_CLASS_ARRAY: {
        if (g_variant_type_equal(type, G_VARIANT_TYPE_BYTESTRING)) {
            gsize size = 0;
            const void* bytes = g_variant_get_fixed_array(value, &size, 1);
            return PlistValue(PlistData{std::string(static_cast<const char*>(bytes), size)});
        }
        const GVariantType* element = g_variant_type_element(type);
        if (g_variant_type_is_dict_entry(element)) {
            const GVariantType* key = g_variant_type_key(element);
            if (g_variant_type_equal(key, G_VARIANT_TYPE_STRING) ||
                g_variant_type_equal(key, G_VARIANT_TYPE_OBJECT_PATH) ||
                g_variant_type_equal(key, G_VARIANT_TYPE_SIGNATURE))
                return dictionaryFromVariant(value, depth);
            return std::nullopt;
        }
        return arrayFromVariant(value, depth);
    }
    case G_VARIANT_CLASS_TUPLE:
        if (g_variant_type_equal(type, G_VARIANT_TYPE("(d)"))) {
            double unixSeconds = 0;
            g_variant_get(value, "(d)", &unixSeconds);
            return PlistValue(PlistDate{unixSeconds - PlistDate::kEpochUnixSeconds});
        }
        return arrayFromVariant(value, depth);
    case G_VARIANT_CLASS_HANDLE:
    case G_VARIANT_CLASS_DICT_ENTRY:
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

bool isDBusString(std::string_view text) {
    // The very check GVariant applies to a string; within the given length it
    // rejects NUL bytes too.
    return g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr);
}

std::string toDBusString(std::string_view text) {
    if (isDBusString(text))
        return std::string(text);
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    std::string out(valid);
    g_free(valid);
    return out;
}

Glib::VariantBase bytesVariant(std::string_view bytes) {
    return own(g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, bytes.data(), bytes.size(), 1));
}

Expected<Glib::VariantBase> plistToVariant(const PlistValue& value) {
    return checkedVariant(value, [&] { return toVariant(value); });
}

Expected<Glib::VariantBase> dictionaryToVariant(const PlistDictionary& dictionary) {
    return checkedVariant(dictionary, [&] { return dictionaryVariant(dictionary); });
}

std::optional<PlistValue> plistFromVariant(const Glib::VariantBase& value) {
    return fromVariant(const_cast<GVariant*>(value.gobj()), 1);
}

} // namespace corvane
