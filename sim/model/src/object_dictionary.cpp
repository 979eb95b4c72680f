#include "object_dictionary.h"

#include "ecwire/le.h"
#include "ecwire/mailbox.h"
#include "ecwire/sii.h"

namespace ecsim {

namespace {
std::vector<uint8_t> u8(uint8_t v) { return {v}; }
std::vector<uint8_t> u16(uint16_t v)
{
    std::vector<uint8_t> b(2);
    ecwire::putU16(b.data(), v);
    return b;
}
std::vector<uint8_t> u32(uint32_t v)
{
    std::vector<uint8_t> b(4);
    ecwire::putU32(b.data(), v);
    return b;
}
std::vector<uint8_t> str(const std::string &s) { return std::vector<uint8_t>(s.begin(), s.end()); }

ObjectDictionary::Object variable(std::vector<uint8_t> v)
{
    ObjectDictionary::Object o;
    o.subs.push_back(std::move(v));
    return o;
}

ObjectDictionary::Object record(std::vector<std::vector<uint8_t>> values)
{
    ObjectDictionary::Object o;
    o.structured = true;
    o.subs.push_back(u8(static_cast<uint8_t>(values.size())));
    for (auto &v : values)
        o.subs.push_back(std::move(v));
    return o;
}
} // namespace

ObjectDictionary::ObjectDictionary(const DeviceDescription &device)
{
    const ecwire::SiiDevice &s = device.sii;
    objects_[0x1000] = variable(u32(device.deviceType));
    objects_[0x1008] = variable(str(s.name()));
    objects_[0x1009] = variable(str(device.hwVersion));
    objects_[0x100A] = variable(str(device.swVersion));
    objects_[0x1018] = record({u32(s.vendorId), u32(s.productCode), u32(s.revision), u32(s.serial)});

    if (device.has1C00) {
        // SyncManager types: mailbox out and in (or unused), outputs, inputs.
        const bool mbx = device.hasMailbox();
        objects_[ecwire::coe::SmTypes] = record({u8(mbx ? ecwire::sii::SmMailboxOut : ecwire::sii::SmUnused),
                                   u8(mbx ? ecwire::sii::SmMailboxIn : ecwire::sii::SmUnused),
                                   u8(ecwire::sii::SmOutputs), u8(ecwire::sii::SmInputs)});
    }

    auto map = [&](const ecwire::SiiPdo &p) {
        std::vector<std::vector<uint8_t>> entries;
        for (const ecwire::SiiPdoEntry &e : p.entries)
            entries.push_back(u32((uint32_t(e.index) << 16) | (uint32_t(e.subindex) << 8) | e.bitLength));
        objects_[p.index] = record(entries);
    };
    auto assignAndMap = [&](const std::vector<ecwire::SiiPdo> &pdos, uint16_t assignIndex) {
        std::vector<std::vector<uint8_t>> assign;
        for (const ecwire::SiiPdo &p : pdos) {
            assign.push_back(u16(p.index));
            map(p);
        }
        objects_[assignIndex] = record(assign);
    };
    assignAndMap(device.rxPdos, ecwire::coe::RxPdoAssign);
    assignAndMap(device.txPdos, ecwire::coe::TxPdoAssign);
    for (const ecwire::SiiPdo &p : device.alternativePdos)
        map(p); // offered, not assigned
}

const ObjectDictionary::Object *ObjectDictionary::find(uint16_t index) const
{
    auto it = objects_.find(index);
    return it == objects_.end() ? nullptr : &it->second;
}

std::vector<uint8_t> ObjectDictionary::completeImage(const Object &o, uint8_t subindex) const
{
    std::vector<uint8_t> out;
    for (size_t i = subindex; i < o.subs.size(); ++i) {
        out.insert(out.end(), o.subs[i].begin(), o.subs[i].end());
        if (i == 0 && o.structured)
            out.resize(out.size() + ecwire::coe::CompleteAccessSub0Size - 1, 0);
    }
    return out;
}

} // namespace ecsim
