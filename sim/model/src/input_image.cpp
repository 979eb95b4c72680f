#include "input_image.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "ecwire/le.h"

namespace ecsim {

void InputImage::setProfile(const Profile &p, uint64_t nowNs)
{
    profile_ = p;
    profile_.start(nowNs);
}

void InputImage::produce(uint8_t *dst, uint64_t nowNs)
{
    ++readings_;
    if (size_ == 0)
        return;
    if (fixedOn_) {
        std::memset(dst, 0, size_);
        std::copy(fixed_.begin(), fixed_.begin() + std::min<size_t>(fixed_.size(), size_), dst);
        return;
    }
    switch (kind_) {
    case ImageKind::Sensor: {
        bool valid = !invalidAlways_ && nowNs >= invalidUntilNs_;
        if (invalidCount_ > 0) {
            --invalidCount_;
            valid = false;
        }
        uint8_t image[ecwire::sensor::ImageSize];
        // The profile is in mbar; the image carries 0.01 mbar.
        ecwire::sensor::encode(image, static_cast<float>(profile_.valueAt(nowNs) * 100.0),
                               static_cast<uint8_t>((valid ? FlagValid : 0) | flags_));
        std::memset(dst, 0, size_);
        std::copy(image, image + std::min<size_t>(sizeof image, size_), dst);
        break;
    }
    case ImageKind::Counter: {
        // A running reading counter, then a fixed byte pattern.
        for (size_t i = 0; i < size_; ++i)
            dst[i] = static_cast<uint8_t>(i);
        uint8_t counter[4];
        ecwire::putU32(counter, static_cast<uint32_t>(readings_));
        std::copy(counter, counter + std::min<size_t>(4, size_), dst);
        break;
    }
    case ImageKind::Zero:
        std::memset(dst, 0, size_);
        break;
    }
}

std::string InputImage::describe(uint64_t nowNs) const
{
    std::ostringstream s;
    if (kind_ == ImageKind::Sensor) {
        s << "profile=" << profile_.describe() << " mbar=" << profile_.valueAt(nowNs);
        s << " invalid=" << (invalidAlways_ ? "on" : invalidCount_ ? std::to_string(invalidCount_) :
                                                      nowNs < invalidUntilNs_ ? "timed" : "off");
        s << " flags=" << ((flags_ & FlagOver) ? ((flags_ & FlagUnder) ? "over,under" : "over") :
                                                   (flags_ & FlagUnder) ? "under" : "none");
    }
    s << (kind_ == ImageKind::Sensor ? " " : "") << "image=" << (fixedOn_ ? "fixed" : "live")
      << " readings=" << readings_;
    return s.str();
}

} // namespace ecsim
