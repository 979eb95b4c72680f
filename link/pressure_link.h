/*
 * The pressure link: the program's one connection to the EtherCAT bus,
 * reduced to four operations over module-level state. Results are 1 for
 * success and 0 for failure; values come back through the pointer arguments.
 * Plain C declarations, so the link can be replaced by another implementation
 * (tests use a scripted one) without touching its callers.
 */
#ifndef PRESSURE_LINK_H
#define PRESSURE_LINK_H

#ifdef __cplusplus
extern "C" {
#endif

/* Brings the bus up on the adapter with this system name: configures and
 * maps all slaves and requests OPERATIONAL. 1 when the bus was configured
 * (not necessarily operational yet), 0 when the adapter cannot be opened,
 * no slave answers or the bus is refused (the reason goes to stderr). */
int ecat_connect(const char *ifname);

/* One process-data exchange. 1 when the frame came back with a working
 * counter of at least 1; then the sensor's raw pressure (0.01 mbar) and its
 * valid/over/under bits (0 or 1) are written. 0 otherwise, outputs untouched. */
int ecat_read(float *pressure, int *valid, int *over, int *under);

/* Health of the link: 1 when slave 1 is exactly OPERATIONAL and the last
 * read's working counter is at least 1. Reports slave 1's state and that
 * working counter through the non-null pointers. Returns 0 at once, writing
 * nothing and sending nothing, while the link is down. */
int ecat_check(int *state, int *wkc);

/* Requests INIT from all slaves and releases the adapter. Returns at once
 * when no adapter is open. */
void ecat_disconnect(void);

#ifdef __cplusplus
}
#endif

#endif /* PRESSURE_LINK_H */
