// CoE SDO upload over a slave's mailbox.
#ifndef ECMASTER_COE_H
#define ECMASTER_COE_H

#include <soem/soem.h>

#include <string>
#include <vector>

namespace ecmaster {

// Uploads object index:subindex (all subindexes from `subindex` on with
// complete access) from slave number `slave`. Returns false with *why
// saying what failed (the abort code when the slave aborted).
bool sdoUpload(ecx_contextt *c, uint16_t slave, uint16_t index, uint8_t subindex, bool completeAccess,
               std::vector<uint8_t> &data, std::string *why);

} // namespace ecmaster

#endif
