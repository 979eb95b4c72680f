// The private network namespace that scripts/netns-run makes: a veth pair
// whose ends it exports as ECAT_MASTER_IF (the program's) and ECAT_SIM_IF
// (the simulator's). Tests that send frames, or mount file systems in the
// namespace's private mount table, run only inside one.
#pragma once

#include <QString>

namespace testsupport {

// The interfaces made by scripts/netns-run; empty when not inside one.
QString masterInterface();
QString simulatorInterface();

// Whether both interfaces are set, that is, this runs under scripts/netns-run.
bool insideNamespace();
// The reason a test gives when it is skipped outside the namespace.
inline constexpr char kNeedsNamespace[] = "needs the private network namespace: run through scripts/netns-run";

} // namespace testsupport
