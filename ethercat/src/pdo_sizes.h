// How many process-data bits a slave sends and receives.
#ifndef ECMASTER_PDO_SIZES_H
#define ECMASTER_PDO_SIZES_H

#include <soem/soem.h>

namespace ecmaster {

// Sets Obits/Ibits (and Obytes/Ibytes) of slave number `slave`: from the CoE
// PDO assignment and mapping objects when the slave offers them, else from
// its SII PDO categories.
void findPdoSizes(ecx_contextt *c, uint16_t slave);

} // namespace ecmaster

#endif
