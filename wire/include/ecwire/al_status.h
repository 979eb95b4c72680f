// AL status codes (register 0x0134): why a slave refused a state or left
// one, in words, as the EtherCAT standard's table of AL status codes gives
// them (ETG.1000.6, "AL Status Codes").
#pragma once

#include <cstdint>

namespace ecwire {
namespace al {

// The meaning of `code`: the standard's words for a listed code,
// "vendor-specific code" for 0x8000 and above, "unknown code" otherwise.
// Never null.
const char *statusCodeText(uint16_t code);

} // namespace al
} // namespace ecwire
