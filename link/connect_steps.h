// The link's connect, step by step, for a caller that watches it: the window's
// Connect (ecat_connect) and the bus check run this one sequence, with the
// same calls and timeouts, so what the bus check reports is what Connect does.
#pragma once

#include <soem/soem.h>

#include <string>
#include <vector>

namespace ecat {

// What a connect waits for, in microseconds, and the process-data image it
// maps the bus into.
constexpr int kSafeOpTimeoutUs = 8000000;
constexpr int kOpTimeoutUs = 2000000;
constexpr int kProcessDataTimeoutUs = 2000;
constexpr int kImageBytes = 4096;

// The steps of a connect in the order they run, each with the master's
// result that the observer is given.
enum class ConnectStep {
    OpenAdapter,     // ecx_init: > 0 when the adapter is open for EtherCAT frames
    FindSlaves,      // ecx_config_init: the number of slaves found
    MapProcessData,  // ecx_config_map_group: bytes of process data of the bus
    ConfigureClocks, // ecx_configdc: 1 when a slave has distributed clocks
    WaitSafeOp,      // ecx_statecheck towards SAFE-OP: the state the bus reported
    FirstExchange,   // one process-data exchange: its working counter (-1: no frame)
    RequestOp,       // ecx_writestate of OP to all slaves: its working counter
    WaitOp,          // ecx_statecheck towards OP: the state the bus reported
};

class ConnectObserver {
public:
    virtual ~ConnectObserver() = default;
    // A step begins (the waits take up to their timeout).
    virtual void started(ConnectStep step) = 0;
    // A step ended with this result of the master (see ConnectStep).
    virtual void finished(ConnectStep step, int result) = 0;
    // The connect ends after `step` with the link down; `why` is the line
    // the link prints on stderr.
    virtual void refused(ConnectStep step, const char *why) = 0;
};

// Whether a slave can be the pressure sensor: the master placed its inputs in
// the image, and they hold at least the sensor's flags and pressure.
bool qualifiesAsSensor(const ec_slavet &slave);

// ecat_connect(ifname), telling `observer` (when not null) each step.
int connectWatched(const char *ifname, ConnectObserver *observer);

// The link's master context: the slaves as the master last read them (their
// states as of the last connect wait or ecat_check). Read-only, for reports.
const ecx_contextt &context();

// One entry of the master's error list (an SDO abort, an emergency, a
// mailbox or packet error) and the master's own words for it.
struct MasterError {
    ec_errort entry;
    std::string text; // ecx_err2string, without its line end
};

// Takes every entry off the error list of the link's context (ecx_poperror),
// oldest first. The list keeps what the last connect and exchanges recorded
// until the next connect.
std::vector<MasterError> takeMasterErrors();

} // namespace ecat
