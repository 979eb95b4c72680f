// AL state requests for the master's own steps.
#ifndef ETHERCAT_STATES_H
#define ETHERCAT_STATES_H

#include <soem/soem.h>

namespace ethercat {

// The AL control value that requests `state` from slave number `slave`: with the error
// acknowledge (bit 4) when its last read status shows the error indication,
// since a slave in error ignores requests without it; never for a slave in
// device emulation (PDI control bit 8), whose ESC copies AL control into AL
// status, so that an acknowledge would show as the error indication.
uint16_t alRequest(ecx_contextt *c, int slave, uint16_t state);

// Requests `state` from slave number `slave` (FPWR of AL control). Returns
// the working counter or EC_NOFRAME.
int requestState(ecx_contextt *c, int slave, uint16_t state);

// The master's own wait for every slave to show `state` (without the error
// indication) while it configures the bus. Unlike ecx_statecheck it
// acknowledges an error indication a slave shows on the way to INIT (no
// slave refuses INIT), and it ends before `timeoutUs` once every slave not
// there has given up: it refused (its error indication appeared after the
// request), or no state read has reached it for a second. Each slave not
// there is reported. Returns the lowest state, as ecx_statecheck does.
uint16_t awaitState(ecx_contextt *c, uint16_t state, int timeoutUs);

} // namespace ethercat

#endif
