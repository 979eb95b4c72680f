#include "ecwire/sensor_image.h"

#include "ecwire/le.h"

namespace ecwire {
namespace sensor {

namespace {
constexpr uint8_t kFlagBits = FlagValid | FlagOver | FlagUnder;
}

Reading decode(const uint8_t *image)
{
    const uint8_t flags = getU8(image + FlagsOffset);
    Reading r;
    r.pressure = getF32(image + PressureOffset);
    r.valid = (flags & FlagValid) ? 1 : 0;
    r.over = (flags & FlagOver) ? 1 : 0;
    r.under = (flags & FlagUnder) ? 1 : 0;
    return r;
}

void encode(uint8_t *image, float pressure, uint8_t flags)
{
    putU8(image + FlagsOffset, uint8_t(flags & kFlagBits));
    putF32(image + PressureOffset, pressure);
}

} // namespace sensor
} // namespace ecwire
