#include "bus_probe.h"

#include "master_errors.h"
#include "master_notes.h"
#include "slave_facts.h"
#include "stop_signals.h"
#include "tick_loop.h"

#include <pressure_link.h>

#include <QElapsedTimer>

namespace buscheck {

namespace {

// Times each step of the connect and keeps what it returned.
class StepRecorder : public ecat::ConnectObserver {
public:
    StepRecorder(BusReport &report, const StepShown &shown) : report_(report), shown_(shown) {}

    void started(ecat::ConnectStep) override { clock_.start(); }

    void finished(ecat::ConnectStep step, int result) override
    {
        StepRecord r;
        r.step = step;
        r.result = result;
        r.ms = double(clock_.nsecsElapsed()) / 1e6;
        report_.steps.push_back(r);
        show();
    }

    void refused(ecat::ConnectStep, const char *why) override
    {
        if (report_.steps.empty())
            return;
        report_.steps.back().refusal = QString::fromUtf8(why);
        show();
    }

private:
    void show()
    {
        if (shown_)
            shown_(report_.steps.back());
    }

    BusReport &report_;
    const StepShown &shown_;
    QElapsedTimer clock_;
};

bool slavesFound(const BusReport &r)
{
    for (const StepRecord &s : r.steps)
        if (s.step == ecat::ConnectStep::FindSlaves)
            return s.result > 0;
    return false;
}

void takeReadings(BusReport &report, StopSignals &stop)
{
    report.interruptedBy = runTicks(stop, [&report] {
        ReadingRecord r;
        r.result = ecat_read(&r.raw, &r.valid, &r.over, &r.under);
        r.healthy = ecat_check(&r.state, &r.wkc) == 1;
        report.readings.push_back(r);
        return int(report.readings.size()) < kReadings;
    });
}

// Reads the slaves' states once more for the report. A state read that
// gets no frame back leaves every state at 0 ("no answer"); one lost frame
// must not pass for a slave that vanished, so a read that came back empty is
// tried again, twice at most.
void readFinalStates()
{
    constexpr int kAttempts = 3;
    int state = 0;
    for (int i = 0; i < kAttempts && state == 0; ++i)
        ecat_check(&state, nullptr);
}

// The working counter of one exchange when every slave answers, from SOEM's
// group fields: each slave with mapped outputs adds 2 to an LRW (1 to the
// LWR that replaces it where a slave takes no LRW), each with inputs 1.
int expectedWkcOf(const ec_groupt &g)
{
    return g.outputsWKC * (g.blockLRW ? 1 : 2) + g.inputsWKC;
}

} // namespace

BusReport startReport(const QByteArray &adapter)
{
    BusReport report;
    report.adapter = adapter;
    report.link = adapterLink(adapter);
    report.access = rawAccess();
    return report;
}

void probeBus(BusReport &report, StopSignals &stop, const StepShown &shown)
{
    StepRecorder recorder(report, shown);
    report.connected = ecat::connectWatched(report.adapter.constData(), &recorder) == 1;
    if (report.connected) {
        takeReadings(report, stop);
        readFinalStates();
    } else
        report.interruptedBy = stop.received();

    // The slaves' states as the last connect wait or check read them.
    const ecx_contextt &bus = ecat::context();
    const MasterNotes notes = masterNotes(bus);
    if (slavesFound(report))
        report.slaves = slaveFacts(bus, notes);
    // The master's own figure where it gives one: it knows how it split the
    // image into datagrams.
    report.expectedWkc = notes.reported ? notes.expectedWkc : expectedWkcOf(bus.grouplist[0]);
    for (const ecat::MasterError &e : ecat::takeMasterErrors())
        report.masterErrors.push_back(masterError(e));
    if (notes.reported)
        report.masterReasons = notes.reasons;
}

} // namespace buscheck
