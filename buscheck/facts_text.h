// The report's facts in words, the same for the text and the JSON report.
#pragma once

#include "bus_report.h"

namespace buscheck {

// "OP", "SAFE-OP + ERROR", "no answer" (0), ...
QString stateText(int state);
// "slave 2 (EL1008)", or "slave 2" when it has no name
QString slaveLabel(const SlaveFacts &slave);
// "AL status 0x0011 (invalid requested state change)"
QString alStatusText(uint16_t code);
// "CoE", "CoE, FoE"; empty list for none
QStringList mailboxProtocolNames(uint16_t bits);
// "SDO", "SDO information", "PDO assign", ...
QStringList coeDetailNames(uint8_t bits);
// "valid", "invalid under", "valid over" ...
QString flagsText(const ReadingRecord &r);
// "0x0000ABCD" for (0xABCD, 8)
QString hexText(uint32_t value, int digits);
// What the report shows for a fact the master does not report.
QString notReported();
// "CoE" when the CoE objects gave a size of either direction, else "SII";
// none when the master does not say.
std::optional<QString> mappingFrom(const SlaveFacts &slave);

// What a step of the connect does and what its result means.
QString stepTitle(ecat::ConnectStep step);
QString stepKey(ecat::ConnectStep step); // "open-adapter", ... for the JSON report
QString stepResultText(const StepRecord &step);

} // namespace buscheck
