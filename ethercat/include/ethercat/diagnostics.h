// What our master tells beyond SOEM's interface: facts about the slaves
// that SOEM's structures have no field for, and every reason the master
// printed on standard error. A program that may also be built against an
// installed SOEM 2.x uses this header only when it is there:
//
//   #if __has_include(<ethercat/diagnostics.h>)
//
// Errors that SOEM records in the context's error list (SDO aborts,
// emergencies, mailbox and packet errors) are recorded there by our master
// too: read them with ecx_poperror, ecx_iserror, ecx_elist2string.
#ifndef ETHERCAT_DIAGNOSTICS_H
#define ETHERCAT_DIAGNOSTICS_H

#include <soem/soem.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ethercat {

// Where the master took a slave's process-data size of one direction from.
enum class SizeSource {
    None,           // nothing gave one: no process data in this direction
    CoE,            // the CoE PDO assignment and mapping objects (0x1C1n, 0x16xx/0x1Axx)
    SiiPdo,         // the SII's TxPDO/RxPDO categories
    SiiSyncManager, // the length of the SII's process-data SyncManager
};

// "CoE", "SII PDO categories", "SII SyncManager length", "none".
const char *sizeSourceName(SizeSource source);

struct SlaveDiagnostics {
    uint8_t escType = 0;         // ESC type, register 0x0000
    SizeSource outputsFrom = SizeSource::None;
    SizeSource inputsFrom = SizeSource::None;
    std::string sizesFallback;   // why the CoE objects did not give the sizes (empty when they did or were not offered)
};

struct Diagnostics {
    // Every line the master printed on standard error about this context
    // since its ecx_init, in order (a failed ecx_init included).
    std::vector<std::string> reasons;
    // By slave number, as ecx_config_init found them; [0] stands for none.
    std::vector<SlaveDiagnostics> slaves;
    // Working counter of one process-data exchange of each group when every
    // slave answers, as ecx_config_map_group set the group up (0: not mapped).
    int expectedWkc[EC_MAXGROUP] = {};
};

// What the master knows of `context`: kept after ecx_close until the next
// ecx_init of the same context. Empty for a context the master never saw.
Diagnostics diagnostics(const ecx_contextt *context);

// Why the last ec_find_adapters could not list the adapters (it returned
// none); empty when it could.
std::string adapterListFailure();

} // namespace ethercat

#endif
