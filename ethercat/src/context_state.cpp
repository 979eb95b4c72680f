// The table of the master's per-context state, and what it tells callers
// from it (ethercat/diagnostics.h).
#include "engine.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <mutex>
#include <unordered_map>

namespace ethercat {

namespace {

// The state of a closed context is kept for a caller that asks afterwards
// why something failed; of contexts closed and never opened again, the
// most recent ones only.
constexpr size_t kClosedKept = 16;

struct Table {
    std::mutex mutex;
    std::unordered_map<const ecx_contextt *, std::unique_ptr<ContextState>> states;
    std::deque<const ecx_contextt *> closed; // oldest first
};

Table &table()
{
    static Table t;
    return t;
}

void forgetClosed(Table &t, const ecx_contextt *context)
{
    t.closed.erase(std::remove(t.closed.begin(), t.closed.end(), context), t.closed.end());
}

} // namespace

ContextState *findState(const ecx_contextt *context)
{
    Table &t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    const auto it = t.states.find(context);
    return it == t.states.end() ? nullptr : it->second.get();
}

ContextState &stateOf(const ecx_contextt *context)
{
    Table &t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    std::unique_ptr<ContextState> &s = t.states[context];
    if (!s)
        s = std::make_unique<ContextState>();
    return *s;
}

ContextState &resetState(const ecx_contextt *context, std::unique_ptr<Engine> engine)
{
    auto fresh = std::make_unique<ContextState>();
    fresh->engine = std::move(engine);
    std::unique_ptr<ContextState> old;
    ContextState *made = fresh.get();
    {
        Table &t = table();
        std::lock_guard<std::mutex> lock(t.mutex);
        forgetClosed(t, context);
        std::unique_ptr<ContextState> &s = t.states[context];
        old = std::move(s);
        s = std::move(fresh);
    }
    // An engine of an earlier session that was never closed (its context
    // cleared or reused without ecx_close) releases its adapter here.
    return *made;
}

void closeEngine(const ecx_contextt *context)
{
    std::unique_ptr<Engine> engine;
    std::vector<std::unique_ptr<ContextState>> dropped;
    {
        Table &t = table();
        std::lock_guard<std::mutex> lock(t.mutex);
        const auto it = t.states.find(context);
        if (it == t.states.end())
            return;
        engine = std::move(it->second->engine);
        forgetClosed(t, context);
        t.closed.push_back(context);
        while (t.closed.size() > kClosedKept) {
            const auto old = t.states.find(t.closed.front());
            if (old != t.states.end()) {
                dropped.push_back(std::move(old->second));
                t.states.erase(old);
            }
            t.closed.pop_front();
        }
    }
}

Engine *engineOf(ecx_contextt *context)
{
    if (!context)
        return nullptr;
    ContextState *s = findState(context);
    return s ? s->engine.get() : nullptr;
}

SlaveBook &bookOf(ecx_contextt *context, int slave)
{
    ContextState &s = stateOf(context);
    if (s.slaves.size() <= size_t(slave))
        s.slaves.resize(size_t(slave) + 1);
    return s.slaves[size_t(slave)];
}

void report(const ecx_contextt *context, const std::string &line)
{
    std::fprintf(stderr, "%s\n", line.c_str());
    if (!context)
        return;
    // Under the lock: diagnostics() may copy the reasons from another thread.
    Table &t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    std::unique_ptr<ContextState> &s = t.states[context];
    if (!s)
        s = std::make_unique<ContextState>();
    s->reasons.push_back(line);
}

namespace {

std::mutex adapterListMutex;
std::string adapterListLine; // the last ec_find_adapters' failure

} // namespace

void reportAdapterList(const std::string &line)
{
    if (!line.empty())
        std::fprintf(stderr, "%s\n", line.c_str());
    std::lock_guard<std::mutex> lock(adapterListMutex);
    adapterListLine = line;
}

std::string adapterListFailure()
{
    std::lock_guard<std::mutex> lock(adapterListMutex);
    return adapterListLine;
}

const char *sizeSourceName(SizeSource source)
{
    switch (source) {
    case SizeSource::CoE: return "CoE";
    case SizeSource::SiiPdo: return "SII PDO categories";
    case SizeSource::SiiSyncManager: return "SII SyncManager length";
    case SizeSource::None: break;
    }
    return "none";
}

Diagnostics diagnostics(const ecx_contextt *context)
{
    Diagnostics d;
    // Copied under the lock: another context's close may drop this state.
    Table &t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    const auto it = t.states.find(context);
    if (it == t.states.end())
        return d;
    const ContextState &s = *it->second;
    d.reasons = s.reasons;
    for (const SlaveBook &b : s.slaves)
        d.slaves.push_back(SlaveDiagnostics{b.escType, b.outputsFrom, b.inputsFrom, b.sizesFallback});
    std::copy(std::begin(s.expectedWkc), std::end(s.expectedWkc), std::begin(d.expectedWkc));
    return d;
}

} // namespace ethercat
