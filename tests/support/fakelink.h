// A scripted stand-in for the pressure link (ecat_connect, ecat_read,
// ecat_check, ecat_disconnect) and for the master's adapter list
// (ec_find_adapters, ec_free_adapters), for tests of the window's code
// without a bus. Link a test with `fakelink` instead of `pressurelink`.
//
// It behaves like the real link: a successful connect brings the link up,
// a failed connect and a disconnect take it down; while down, ecat_check
// returns 0 and writes nothing; while up, ecat_check reports the scripted
// slave state and the working counter of the most recent read and is healthy
// when the state is 8 and that working counter is at least 1.
//
// Everything not scripted has a default: connect succeeds, reads succeed
// with a valid reading of 101325.0 (1013.25 mbar) and working counter 1,
// the slave state is 8.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace fakelink {

struct Adapter {
    std::string name;
    std::string desc;
};

struct Read {
    int result = 1;          // what ecat_read returns
    float pressure = 101325.0f;
    int valid = 1;
    int over = 0;
    int under = 0;
    int wkc = 1;             // working counter this exchange leaves behind
};

struct Check {
    int state = 8;           // slave 1's state reported by ecat_check
    int healthy = -1;        // -1: computed as the real link does; else returned as is
};

// Convenience builders for the read queue.
Read validReading(float rawPressure);
Read invalidReading(float rawPressure = 0.0f, int over = 0, int under = 0);
Read failedRead(int wkc = -1);

// Forgets all scripts, calls and link state (call it in init()).
void reset();

// Adapter list handed out by ec_find_adapters (empty: it returns null).
void setAdapters(const std::vector<Adapter> &adapters);

// Results of the next ecat_connect calls, in order; then `defaultConnectResult`.
void queueConnectResults(const std::vector<int> &results);
void setDefaultConnectResult(int result);

// Next reads, in order; then the default read.
void queueReads(const std::vector<Read> &reads);
void queueRead(const Read &read);
void setDefaultRead(const Read &read);
std::size_t pendingReads();

// Next checks (while up), in order; then the default check.
void queueChecks(const std::vector<Check> &checks);
void setDefaultCheck(const Check &check);

// Puts the link straight into the up or down state (no call recorded).
void setLinkUp(bool up);
bool linkUp();
int lastWkc();

// What the code under test did.
const std::vector<std::string> &connectNames();  // ifname of every ecat_connect
const std::vector<std::string> &calls();          // "connect:NAME", "read", "check", "disconnect"
int connectCount();
int readCount();
int checkCount();           // all ecat_check calls, up or down
int disconnectCount();
int findAdaptersCount();
int freeAdaptersCount();
bool freedHeadOfList();     // every ec_free_adapters got the head ec_find_adapters returned
void clearCalls();          // forgets the recorded calls only

}  // namespace fakelink
