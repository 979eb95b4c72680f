// The acquisition rule: what one tick's link check and read mean. The window,
// the headless logger and the bus check's watch all decide with it, so that a
// reading counts, is recorded and is reported the same way in each of them.
//
// Every tick that reads:
//   the run of invalid readings grows by an invalid reading, ends with a
//   valid one and stays as it is when the read fails (countInvalid).
// A display tick, the first that applies (decide):
//   the read failed              -> "EtherCAT read failed"; nothing else is decided
//   5 or more invalid in a row   -> reconnect
//   healthy link, valid reading  -> record it; "Connected, valid pressure"
//   healthy link, invalid        -> "INVALID PRESSURE ..."; "Connected, pressure invalid"
//   link not healthy             -> "ETHERCAT ISSUE ..."; "EtherCAT issue: state=0x.. WKC=.."
// After the reconnect (afterReconnect):
//   it succeeded -> "Reconnected", the run starts again; it failed -> "Reconnect failed".
//
// Plain C++, no Qt: the texts are the window's source texts, which Qt
// programs translate in the window's context (rule_texts.h).
#pragma once

namespace acquisition {

// Invalid readings in a row after which the link is brought up again.
constexpr int kReconnectAfterInvalid = 5;

// One tick's calls into the pressure link, zero until the link fills them:
// ecat_check(&state, &wkc), then ecat_read(&pressure, &valid, &over, &under).
struct Exchange
{
    int checkOk = 0;         // the link is healthy: slave 1 in OP, last working counter >= 1
    int state = 0;           // slave 1's EtherCAT state
    int wkc = 0;             // working counter of the exchange before this tick's read
    int readOk = 0;          // this tick's exchange came back
    float pressure = 0.0f;   // raw, in 0.01 mbar
    int valid = 0;
    int over = 0;
    int under = 0;
};

// The texts a status label shows for the link (statusSource gives each).
enum class Status {
    ReadFailed,        // "EtherCAT read failed"
    ValidPressure,     // "Connected, valid pressure"
    PressureInvalid,   // "Connected, pressure invalid"
    LinkIssue,         // "EtherCAT issue: state=0x%1 WKC=%2" (state in hex, wkc in decimal)
    AutoReconnecting,  // "Auto reconnecting..."
    Reconnected,       // "Reconnected"
    ReconnectFailed,   // "Reconnect failed"
};

// The translation context of the texts: they are the window's.
constexpr const char *kTextContext = "MainWindow";
// The status text as written in the source, before translation.
const char *statusSource(Status status);

// A debug message of a display tick: a title, then each field's name and
// value, as the window streams them into qDebug.
struct DebugField
{
    const char *name = nullptr;   // "pressure=", "valid=", ...
    bool isRaw = false;           // the value is `raw` (the float pressure), else `number`
    float raw = 0.0f;
    int number = 0;
};
struct DebugMessage
{
    const char *title = nullptr;  // "INVALID PRESSURE", "ETHERCAT ISSUE"; null: no message
    DebugField fields[4];
    int fieldCount = 0;
};

// What a display tick decides.
struct Outcome
{
    bool reading = false;    // the read came back: `mbar` is its pressure
    double mbar = 0.0;
    bool record = false;     // a valid reading on a healthy link: log it
    bool reconnect = false;  // the run of invalid readings is long enough
    Status status = Status::ReadFailed;  // the link's health, shown unless a reconnect comes first
    int state = 0;           // the LinkIssue text's fields
    int wkc = 0;
    DebugMessage debug;      // emitted just before `status` is shown; none when a reconnect comes
};

// The raw pressure in mbar: widened to double, then divided by 100.
double toMbar(float raw);

// A valid reading on a healthy link: the only kind that is recorded.
bool isGoodReading(const Exchange &x);

// Invalid readings in a row after this tick's read.
int countInvalid(int invalidCount, const Exchange &x);

// What the display tick with this exchange shows and does; `invalidCount`
// already counts its reading.
Outcome decide(const Exchange &x, int invalidCount);

struct AfterReconnect
{
    Status status;
    int invalidCount;
};
// The status and the run of invalid readings after a reconnect attempt.
AfterReconnect afterReconnect(bool connected, int invalidCount);

} // namespace acquisition
