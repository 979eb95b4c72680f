#include "netns.h"

namespace testsupport {

QString masterInterface() { return qEnvironmentVariable("ECAT_MASTER_IF"); }
QString simulatorInterface() { return qEnvironmentVariable("ECAT_SIM_IF"); }
bool insideNamespace() { return !masterInterface().isEmpty() && !simulatorInterface().isEmpty(); }

} // namespace testsupport
