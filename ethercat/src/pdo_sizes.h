// How many process-data bits a slave sends and receives.
#ifndef ETHERCAT_PDO_SIZES_H
#define ETHERCAT_PDO_SIZES_H

#include <soem/soem.h>

namespace ethercat {

// Sets Obits/Ibits (and Obytes/Ibytes) of slave number `slave`: from the CoE
// PDO assignment and mapping objects when the slave offers them, else from
// its SII PDO categories; the master's record of the slave says which, and
// why a fallback was taken.
// The SII's SyncManager types are completed from object 0x1C00 where the
// SII does not type the process-data SyncManagers, and each direction's
// assignment object follows its SyncManager (0x1C10 + n).
void findPdoSizes(ecx_contextt *c, uint16_t slave);

// The SyncManager of one direction's process data among the first
// `entries` of the slave's SMtype: the one typed for it, else (no
// SyncManager typed for process data) SyncManager 2 for outputs or 3 for
// inputs, or the next one without another type; -1 when the types give
// this direction none.
int processDataSm(const ec_slavet &s, int entries, bool outputs);

} // namespace ethercat

#endif
