#include "slave_facts.h"

#include <algorithm>
#include <cstring>

namespace buscheck {

namespace {

SlaveFacts factsOf(const ec_slavet &s, int position, const MasterNotes &notes)
{
    SlaveFacts f;
    f.position = position;
    f.station = s.configadr;
    f.vendor = s.eep_man;
    f.product = s.eep_id;
    f.revision = s.eep_rev;
    f.serial = s.eep_ser;
    f.name = QString::fromUtf8(s.name, int(strnlen(s.name, sizeof s.name)));
    f.dc = s.hasdc != 0;
    f.mailboxProtocols = s.mbx_proto;
    f.coeDetails = s.CoEdetails;
    f.outputBytes = s.Obytes;
    f.inputBytes = s.Ibytes;
    f.qualifiesAsSensor = ecat::qualifiesAsSensor(s);
    f.state = s.state;
    f.alStatusCode = s.ALstatuscode;
    if (notes.reported && size_t(position) < notes.slaves.size()) {
        const MasterNotes::Slave &n = notes.slaves[size_t(position)];
        f.escType = n.escType;
        f.outputsFrom = n.outputsFrom;
        f.inputsFrom = n.inputsFrom;
        f.sizesFallback = n.sizesFallback;
        f.mappingFromCoe = n.sizesFromCoe;
    }
    return f;
}

} // namespace

std::vector<SlaveFacts> slaveFacts(const ecx_contextt &bus, const MasterNotes &notes)
{
    std::vector<SlaveFacts> out;
    const int count = std::min(bus.slavecount, EC_MAXSLAVE - 1);
    for (int i = 1; i <= count; ++i)
        out.push_back(factsOf(bus.slavelist[i], i, notes));
    return out;
}

} // namespace buscheck
