// Control-channel commands for what a slave controller and its firmware do:
// EEPROM faults, lost and stale mailbox replies, the device's timing.
#pragma once

#include <string>
#include <vector>

namespace ecsim {

class Slave;

// Handles `cmd` with `args` for slave `s` (called `who` in messages); false
// when `cmd` is none of these commands.
bool escCommand(Slave &s, const std::string &who, const std::string &cmd, const std::vector<std::string> &args,
                std::string &answer);
// "sii-nack, lose-reply, ..." for messages.
std::string escCommandList();

} // namespace ecsim
