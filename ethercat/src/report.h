// What the master says about a slave's state: one line per event, naming
// the slave, the state and the AL status code in words.
#ifndef ETHERCAT_REPORT_H
#define ETHERCAT_REPORT_H

#include <soem/soem.h>

#include <ecwire/hex.h>

#include <cstdint>
#include <string>

namespace ethercat {

using ecwire::hex;

// "SAFE-OP", "SAFE-OP+ERROR", "none" (no answer).
std::string stateText(uint16_t state);

// One line (see ethercat::report): "<who>: slave N (name) in <state>[,
// <wanted> requested]: AL status code 0x001D (invalid output configuration)".
// Remembers what it reported for the slave; `onlyNew` leaves out a line that
// would repeat the last one for this slave.
void reportAlStatus(ecx_contextt *c, const char *who, int slave, uint16_t requested, bool onlyNew);

} // namespace ethercat

#endif
