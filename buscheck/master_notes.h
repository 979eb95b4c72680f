// What the master tells beyond SOEM's interface. Our own master keeps it
// (<ethercat/diagnostics.h>); built against another SOEM 2.x there is none,
// and the reports say "not reported by this master" for those facts.
#pragma once

#include <soem/soem.h>

#include <QStringList>

#include <cstdint>
#include <vector>

namespace buscheck {

struct MasterNotes {
    bool reported = false;   // false: this master tells nothing beyond SOEM's interface
    QStringList reasons;     // every line it printed on standard error, in order
    int expectedWkc = 0;     // of one exchange of the link's image (0: not mapped)
    struct Slave {
        uint8_t escType = 0;
        QString outputsFrom; // where the sizes came from, as the master names the source
        QString inputsFrom;
        QString sizesFallback; // why the CoE objects did not give them; empty when they did
        bool sizesFromCoe = false; // the CoE objects gave the size of either direction
    };
    std::vector<Slave> slaves; // by slave number; [0] stands for none
};

MasterNotes masterNotes(const ecx_contextt &bus);

// Why the master's last adapter list came back empty, when it says; empty
// otherwise (and with a master that tells nothing beyond SOEM's interface).
QString adapterListFailure();

} // namespace buscheck
