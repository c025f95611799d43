#include "platform/linux/libuuid_source.h"

#include <uuid/uuid.h>

namespace corvane {

std::string LibuuidSource::makeUUIDString() {
    uuid_t uuid;
    uuid_generate_random(uuid);
    char text[37];
    uuid_unparse_upper(uuid, text);
    return std::string(text, 36);
}

} // namespace corvane
