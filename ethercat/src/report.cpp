#include "report.h"

#include <ecwire/al_status.h>
#include <ecwire/registers.h>

#include <cstdio>

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

void reportAlStatus(const char *who, ec_slavet &slave, int number, uint16_t requested, bool onlyNew)
{
    if (onlyNew && slave.al_reported == slave.state && slave.al_reported_code == slave.ALstatuscode)
        return;
    slave.al_reported = slave.state;
    slave.al_reported_code = slave.ALstatuscode;
    std::string line = std::string(who) + ": slave " + std::to_string(number);
    if (slave.name[0])
        line += std::string(" (") + slave.name + ")";
    line += " in " + stateText(slave.state);
    if (requested)
        line += std::string(", ") + ecwire::al::stateName(requested) + " requested";
    line += ": AL status code " + hex(slave.ALstatuscode, 4) + " (" + ecwire::al::statusCodeText(slave.ALstatuscode)
        + ")";
    std::fprintf(stderr, "%s\n", line.c_str());
}

} // namespace ethercat
