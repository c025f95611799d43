// Feeds arbitrary bytes to the decoders of what the companion app sends: an
// execute notification's payload as it arrives on D-Bus ("(sa{sv})", the
// first byte 0) or a stored execute record as the settings file holds it (a
// property list, any other first byte), then to the poll timer's decision. A
// request whose texts can travel as D-Bus strings must decode the same after
// a trip through the D-Bus mapping, which is how a companion's notification
// reaches us.

#include "extension/batchrename/execute_request.h"
#include "platform/linux/gvariant_plist.h"
#include "platform/plist/plist_codec.h"

#include <glib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

using namespace corvane;

[[noreturn]] void mismatch(const char* what) {
    std::fprintf(stderr, "execute request: %s\n", what);
    std::abort();
}

/// The user info of a notification as the bytes of a "(sa{sv})" message body.
std::optional<PlistDictionary> notificationPayload(std::string_view bytes) {
    // Untrusted: GLib checks the serialised form as it reads.
    Glib::VariantBase body(g_variant_new_from_data(G_VARIANT_TYPE("(sa{sv})"), bytes.data(),
                                                   bytes.size(), FALSE, nullptr, nullptr));
    Glib::VariantBase info(g_variant_get_child_value(const_cast<GVariant*>(body.gobj()), 1));
    std::optional<PlistValue> value = plistFromVariant(info);
    if (!value || !value->isDictionary())
        return std::nullopt;
    return value->asDictionary();
}

void checkRequest(const PlistDictionary& fields) {
    std::optional<ExecuteRequest> request = readExecuteRequest(fields);
    // Every record is decided without a remembered id and with its own.
    TickDecision fresh = decideTick(fields, std::nullopt);
    if (fresh.execute != request)
        mismatch("a record without a remembered id is not carried out as it reads");
    if (fresh.rememberId)
        (void)decideTick(fields, fresh.rememberId);
    // Texts that are not D-Bus strings travel as data, as documented: such a
    // request cannot come by notification at all.
    if (!request || !isDBusString(request->baseName) ||
        !std::ranges::all_of(request->paths, [](const auto& p) { return isDBusString(p); }))
        return;
    Expected<Glib::VariantBase> sent = dictionaryToVariant(fields);
    if (!sent)
        return; // nested too deep to send: a companion cannot either
    std::optional<PlistValue> received = plistFromVariant(*sent);
    if (!received || !received->isDictionary())
        mismatch("a sent payload does not come back as a dictionary");
    if (readExecuteRequest(received->asDictionary()) != request)
        mismatch("a request reads differently after a trip over D-Bus");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::optional<PlistDictionary> fields;
    if (data[0] == 0) {
        fields = notificationPayload(bytes);
    } else if (auto value = plist::read(bytes); value && value->isDictionary()) {
        fields = value->asDictionary();
    }
    if (fields)
        checkRequest(*fields);
    return 0;
}
