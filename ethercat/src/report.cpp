#include "report.h"

#include "engine.h"

#include <ecwire/al_status.h>
#include <ecwire/registers.h>

namespace ethercat {

std::string stateText(uint16_t state)
{
    if ((state & ecwire::al::StateMask) == 0)
        return "no state (no answer)";
    std::string s = ecwire::al::stateName(state);
    if (s == "unknown")
        s = "state " + hex(state & ecwire::al::StateMask, 2);
    if (state & ecwire::al::ErrorFlag)
        s += "+ERROR";
    return s;
}

void reportAlStatus(ecx_contextt *c, const char *who, int number, uint16_t requested, bool onlyNew)
{
    const ec_slavet &slave = c->slavelist[number];
    SlaveBook &b = bookOf(c, number);
    if (onlyNew && b.alReported == slave.state && b.alReportedCode == slave.ALstatuscode)
        return;
    b.alReported = slave.state;
    b.alReportedCode = slave.ALstatuscode;
    std::string line = std::string(who) + ": slave " + std::to_string(number);
    if (slave.name[0])
        line += std::string(" (") + slave.name + ")";
    line += " in " + stateText(slave.state);
    if (requested)
        line += std::string(", ") + ecwire::al::stateName(requested) + " requested";
    line += ": AL status code " + hex(slave.ALstatuscode, 4) + " (" + ecwire::al::statusCodeText(slave.ALstatuscode)
        + ")";
    report(c, line);
}

} // namespace ethercat
