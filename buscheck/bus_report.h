// What the bus check found on one adapter: the facts that the text and the
// JSON report both show, gathered once.
#pragma once

#include "host.h"

#include <connect_steps.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace buscheck {

struct StepRecord {
    ecat::ConnectStep step = ecat::ConnectStep::OpenAdapter;
    int result = 0;          // the master's result (see ecat::ConnectStep)
    double ms = 0;           // how long the step took
    QString refusal;         // why the connect ended here, when it did
};

struct SlaveFacts {
    int position = 0;        // 1 = nearest the adapter
    uint16_t station = 0;    // configured station address
    uint32_t vendor = 0;
    uint32_t product = 0;
    uint32_t revision = 0;
    uint32_t serial = 0;
    QString name;
    bool dc = false;
    uint16_t mailboxProtocols = 0;       // SII bits: AoE, EoE, CoE, FoE, SoE, VoE
    uint8_t coeDetails = 0;              // SII general category bits
    uint32_t outputBytes = 0;
    uint32_t inputBytes = 0;
    bool qualifiesAsSensor = false;      // the link's rule for slave 1 (ecat::qualifiesAsSensor)
    // Beyond SOEM's interface: unknown with a master that does not report them.
    std::optional<uint8_t> escType;
    std::optional<bool> mappingFromCoe;  // false: from the SII
    std::optional<QString> outputsFrom;  // where the sizes came from ("CoE", "SII PDO categories", ...)
    std::optional<QString> inputsFrom;
    std::optional<QString> sizesFallback; // why the CoE objects did not give them; empty when they did
    uint16_t state = 0;                  // AL status as last read (0: no answer)
    uint16_t alStatusCode = 0;
};

// One entry of the master's error list.
struct MasterError {
    int slave = 0;
    QString type;              // "SDO abort", "emergency", "mailbox error", "packet error", ...
    std::optional<uint16_t> index;  // the CoE object, for SDO aborts and packet errors
    std::optional<uint8_t> subindex;
    uint32_t code = 0;         // abort code, emergency error code, mailbox error detail
    QString meaning;           // the code in words, where the standard gives them
    QString text;              // the master's own words
};

struct ReadingRecord {
    int result = 0;          // ecat_read: 1 when the exchange came back
    float raw = 0;           // 0.01 mbar
    int valid = 0, over = 0, under = 0;
    int wkc = 0;             // working counter of this exchange (-1: no frame)
    int state = 0;           // slave 1's state right after it
    bool healthy = false;    // ecat_check's verdict right after it
};

struct BusReport {
    QByteArray adapter;
    AdapterLink link;
    RawAccess access;
    std::vector<StepRecord> steps;
    bool connected = false;  // the connect returned 1
    int expectedWkc = 0;     // of one process-data exchange, as the master computed it
    std::vector<SlaveFacts> slaves;
    std::vector<MasterError> masterErrors;   // the master's error list, oldest first
    std::optional<QStringList> masterReasons; // what the master printed; none: it reports nothing
    std::vector<ReadingRecord> readings;
    int interruptedBy = 0;   // a stop signal that cut the check short
    bool broughtDown = false;
};

// The outcome: exit status, the problem in one sentence and what to do next.
struct Verdict {
    int exitStatus = 0;      // 0 working sensor in OP, 1 bus or sensor not right, 3 no permission
    QString summary;
    QString next;            // empty when all is well
    QStringList warnings;    // worth knowing, not failures
};

// Readings taken after the connect, at the window's 10 ms rhythm.
constexpr int kReadings = 10;
// Exchanges out of kReadings that may get no frame back before the check
// calls the bus unreliable.
constexpr int kLostReadingsTolerated = 1;

} // namespace buscheck
