// What the master says on stderr about a slave: one line per event, naming
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

// One line on stderr: "<who>: slave N (name) in <state>[, <wanted> requested]:
// AL status code 0x001D (invalid output configuration)". Remembers what it
// reported in the slave entry; `onlyNew` leaves out a line that would repeat
// the last one for this slave.
void reportAlStatus(const char *who, ec_slavet &slave, int number, uint16_t requested, bool onlyNew);

} // namespace ethercat

#endif
