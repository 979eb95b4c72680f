// Reading a slave's SII EEPROM through its ESC.
#ifndef ETHERCAT_SII_H
#define ETHERCAT_SII_H

#include <soem/soem.h>

#include <ecwire/sii.h>

#include <string>

namespace ethercat {

// Reads the header and every category up to the end marker of the slave
// with station address `station`, and parses them. Returns false with
// *why saying what failed.
bool readSii(ecx_contextt *c, uint16_t station, ecwire::SiiDevice &out, std::string *why);

// Copies what the master keeps of the SII into the entry of slave number
// `slave` and its own record of it.
void applySii(ecx_contextt *c, int slave, const ecwire::SiiDevice &sii);

} // namespace ethercat

#endif
