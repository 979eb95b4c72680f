// AL state requests for the master's own steps.
#ifndef ECMASTER_STATES_H
#define ECMASTER_STATES_H

#include <soem/soem.h>

namespace ecmaster {

// The AL control value that requests `state` from a slave whose last read
// status is `current`: with the error acknowledge (bit 4) when that status
// shows the error indication, since a slave in error ignores requests
// without it.
uint16_t alRequest(uint16_t state, uint16_t current);

// Requests `state` from slave number `slave` (FPWR of AL control). Returns
// the working counter or EC_NOFRAME.
int requestState(ecx_contextt *c, int slave, uint16_t state);

} // namespace ecmaster

#endif
