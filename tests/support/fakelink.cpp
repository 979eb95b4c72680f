#include "fakelink.h"

#include "pressure_link.h"

#include <soem/soem.h>

#include <cstring>

namespace fakelink {
namespace {

struct State {
    std::vector<Adapter> adapters;
    std::deque<int> connectResults;
    int defaultConnectResult = 1;
    std::deque<Read> reads;
    Read defaultRead;
    std::deque<Check> checks;
    Check defaultCheck;
    bool up = false;
    int lastWkc = 0;

    std::vector<std::string> connectNames;
    std::vector<std::string> calls;
    int connects = 0, readsDone = 0, checksDone = 0, disconnects = 0;
    int finds = 0, frees = 0;
    bool freedHead = true;
    std::vector<ec_adaptert *> handedOut;
};

State &st()
{
    static State s;
    return s;
}

void copyField(char (&field)[EC_MAXLEN_ADAPTERNAME], const std::string &text)
{
    std::memset(field, 0, sizeof field);
    std::strncpy(field, text.c_str(), sizeof field - 1);
}

}  // namespace

Read validReading(float rawPressure)
{
    Read r;
    r.pressure = rawPressure;
    return r;
}

Read invalidReading(float rawPressure, int over, int under)
{
    Read r;
    r.pressure = rawPressure;
    r.valid = 0;
    r.over = over;
    r.under = under;
    return r;
}

Read failedRead(int wkc)
{
    Read r;
    r.result = 0;
    r.wkc = wkc;
    return r;
}

void reset()
{
    State &s = st();
    for (ec_adaptert *head : s.handedOut) {
        while (head) {
            ec_adaptert *next = head->next;
            delete head;
            head = next;
        }
    }
    s = State();
}

void setAdapters(const std::vector<Adapter> &adapters) { st().adapters = adapters; }
void queueConnectResults(const std::vector<int> &results)
{
    st().connectResults.insert(st().connectResults.end(), results.begin(), results.end());
}
void setDefaultConnectResult(int result) { st().defaultConnectResult = result; }
void queueReads(const std::vector<Read> &reads)
{
    st().reads.insert(st().reads.end(), reads.begin(), reads.end());
}
void queueRead(const Read &read) { st().reads.push_back(read); }
void setDefaultRead(const Read &read) { st().defaultRead = read; }
std::size_t pendingReads() { return st().reads.size(); }
void queueChecks(const std::vector<Check> &checks)
{
    st().checks.insert(st().checks.end(), checks.begin(), checks.end());
}
void setDefaultCheck(const Check &check) { st().defaultCheck = check; }
void setLinkUp(bool up) { st().up = up; }
bool linkUp() { return st().up; }
int lastWkc() { return st().lastWkc; }

const std::vector<std::string> &connectNames() { return st().connectNames; }
const std::vector<std::string> &calls() { return st().calls; }
int connectCount() { return st().connects; }
int readCount() { return st().readsDone; }
int checkCount() { return st().checksDone; }
int disconnectCount() { return st().disconnects; }
int findAdaptersCount() { return st().finds; }
int freeAdaptersCount() { return st().frees; }
bool freedHeadOfList() { return st().freedHead; }
void clearCalls()
{
    State &s = st();
    s.connectNames.clear();
    s.calls.clear();
    s.connects = s.readsDone = s.checksDone = s.disconnects = 0;
    s.finds = s.frees = 0;
    s.freedHead = true;
}

}  // namespace fakelink

using fakelink::st;

extern "C" int ecat_connect(const char *ifname)
{
    auto &s = st();
    const std::string name = ifname ? ifname : "";
    s.connects++;
    s.connectNames.push_back(name);
    s.calls.push_back("connect:" + name);
    int result = s.defaultConnectResult;
    if (!s.connectResults.empty()) {
        result = s.connectResults.front();
        s.connectResults.pop_front();
    }
    s.up = result != 0;
    return result;
}

extern "C" int ecat_read(float *pressure, int *valid, int *over, int *under)
{
    auto &s = st();
    s.readsDone++;
    s.calls.push_back("read");
    fakelink::Read r = s.defaultRead;
    if (!s.reads.empty()) {
        r = s.reads.front();
        s.reads.pop_front();
    }
    s.lastWkc = r.wkc;
    if (!r.result)
        return 0;
    *pressure = r.pressure;
    *valid = r.valid;
    *over = r.over;
    *under = r.under;
    return r.result;
}

extern "C" int ecat_check(int *state, int *wkc)
{
    auto &s = st();
    s.checksDone++;
    s.calls.push_back("check");
    if (!s.up)
        return 0;
    fakelink::Check c = s.defaultCheck;
    if (!s.checks.empty()) {
        c = s.checks.front();
        s.checks.pop_front();
    }
    if (state)
        *state = c.state;
    if (wkc)
        *wkc = s.lastWkc;
    if (c.healthy >= 0)
        return c.healthy;
    return (c.state == 8 && s.lastWkc >= 1) ? 1 : 0;
}

extern "C" void ecat_disconnect(void)
{
    auto &s = st();
    s.disconnects++;
    s.calls.push_back("disconnect");
    s.up = false;
}

extern "C" ec_adaptert *ec_find_adapters(void)
{
    auto &s = st();
    s.finds++;
    ec_adaptert *head = nullptr;
    ec_adaptert **tail = &head;
    for (const auto &a : s.adapters) {
        auto *e = new ec_adaptert;
        fakelink::copyField(e->name, a.name);
        fakelink::copyField(e->desc, a.desc);
        e->next = nullptr;
        *tail = e;
        tail = &e->next;
    }
    s.handedOut.push_back(head);
    return head;
}

extern "C" void ec_free_adapters(ec_adaptert *adapter)
{
    auto &s = st();
    s.frees++;
    bool known = false;
    for (auto it = s.handedOut.begin(); it != s.handedOut.end(); ++it) {
        if (*it == adapter) {
            s.handedOut.erase(it);
            known = true;
            break;
        }
    }
    if (!known) {
        s.freedHead = false;  // not a list this stand-in handed out: leave it alone
        return;
    }
    while (adapter) {
        ec_adaptert *next = adapter->next;
        delete adapter;
        adapter = next;
    }
}
