#include "verdict.h"

#include "facts_text.h"

#include <ecwire/registers.h>
#include <ecwire/sensor_image.h>

namespace buscheck {

namespace {

using ecat::ConnectStep;

const StepRecord *lastStep(const BusReport &r)
{
    return r.steps.empty() ? nullptr : &r.steps.back();
}

QString adapterName(const BusReport &r)
{
    return QString::fromUtf8(r.adapter);
}

Verdict failure(int status, const QString &summary, const QString &next)
{
    Verdict v;
    v.exitStatus = status;
    v.summary = summary;
    v.next = next;
    return v;
}

// The master's last word on why, or that it gives none.
QString masterSays(const BusReport &r)
{
    if (!r.masterReasons)
        return QStringLiteral("this master gives no reason");
    if (r.masterReasons->isEmpty())
        return QStringLiteral("the master gave no reason");
    return QStringLiteral("the master says: ") + r.masterReasons->last();
}

Verdict openFailed(const BusReport &r)
{
    const QString name = adapterName(r);
    if (!r.link.known)
        return failure(1, QStringLiteral("there is no adapter named \"%1\" on this machine").arg(name),
                       QStringLiteral("run pressure-bus-check without arguments to list the adapters, "
                                      "then give one of those names"));
    if (!r.access.allowed)
        return failure(3, QStringLiteral("this program may not open %1 for raw EtherCAT frames: %2")
                              .arg(name, r.access.problem),
                       r.access.remedy);
    if (!r.link.up)
        return failure(1, QStringLiteral("%1 could not be opened for EtherCAT frames; it is down").arg(name),
                       QStringLiteral("bring it up (sudo ip link set %1 up), then run the check again").arg(name));
    return failure(1, QStringLiteral("%1 could not be opened for EtherCAT frames (%2)").arg(name, masterSays(r)),
                   QStringLiteral("pick an Ethernet adapter from the list that pressure-bus-check prints "
                                  "without arguments"));
}

Verdict noSlaves(const BusReport &r)
{
    const QString name = adapterName(r);
    if (!r.link.carrier)
        return failure(1, QStringLiteral("no EtherCAT slave answered on %1, and it has no carrier").arg(name),
                       QStringLiteral("plug the cable from %1 into the first slave's IN port and power the "
                                      "slaves, then run the check again").arg(name));
    return failure(1, QStringLiteral("no EtherCAT slave answered on %1").arg(name),
                   QStringLiteral("check that the first slave is powered and that its IN port (not OUT) is "
                                  "cabled to %1, then run the check again").arg(name));
}

Verdict mappingRefused(const BusReport &r, const StepRecord &step)
{
    if (!r.slaves.empty() && !r.slaves.front().qualifiesAsSensor)
        return failure(1, QStringLiteral("%1 has %2 input bytes; a pressure sensor has at least %3 "
                                         "(flags and pressure)")
                              .arg(slaveLabel(r.slaves.front()))
                              .arg(r.slaves.front().inputBytes)
                              .arg(ecwire::sensor::ImageSize),
                       QStringLiteral("connect the pressure sensor as the first slave, nearest the adapter, "
                                      "or check its process-data configuration"));
    return failure(1, QStringLiteral("the bus has %1 bytes of process data, more than the %2-byte image")
                          .arg(step.result)
                          .arg(ecat::kImageBytes),
                   QStringLiteral("remove slaves or reduce their process data so that the whole bus fits "
                                  "in %1 bytes").arg(ecat::kImageBytes));
}

Verdict notInOp(const SlaveFacts &s)
{
    const QString who = slaveLabel(s);
    if (s.state == 0)
        return failure(1, QStringLiteral("%1 no longer answers").arg(who),
                       QStringLiteral("check the slave's power and the cable, then run the check again"));
    const QString where = QStringLiteral("%1 stops in %2").arg(who, stateText(s.state));
    if (s.alStatusCode != 0)
        return failure(1, QStringLiteral("%1: %2").arg(where, alStatusText(s.alStatusCode)),
                       QStringLiteral("look up %1 in the slave's manual and correct what it names "
                                      "(configuration, wiring, firmware), then run the check again")
                           .arg(alStatusText(s.alStatusCode)));
    return failure(1, QStringLiteral("%1 without an AL status code: it has not taken OP").arg(where),
                   QStringLiteral("see the slave's manual for what it needs before OP (its application "
                                  "running, its configuration) or power-cycle it, then run the check again"));
}

Verdict fromReadings(const BusReport &r)
{
    int back = 0;
    int invalid = 0;
    int wrongWkc = 0;
    for (const ReadingRecord &x : r.readings) {
        if (x.result != 1)
            continue;
        ++back;
        if (!x.valid)
            ++invalid;
        if (r.expectedWkc > 0 && x.wkc != r.expectedWkc)
            ++wrongWkc;
    }
    const int taken = int(r.readings.size());
    const int lost = taken - back;
    const QString name = adapterName(r);
    if (back == 0)
        return failure(1, QStringLiteral("none of the %1 process-data exchanges came back").arg(taken),
                       QStringLiteral("check the cable between %1 and the slaves, and that no other program "
                                      "drives this bus").arg(name));
    if (invalid > 0)
        return failure(1, QStringLiteral("slave 1 marks %1 of %2 readings invalid").arg(invalid).arg(back),
                       QStringLiteral("check the sensor itself (its gauge, its range, its own status "
                                      "display); the bus carries its data"));
    if (lost > kLostReadingsTolerated)
        return failure(1, QStringLiteral("%1 of %2 process-data exchanges got no frame back").arg(lost).arg(taken),
                       QStringLiteral("the bus loses frames: check the cables and connectors between %1 and "
                                      "the slaves, and that no other program sends on %1").arg(name));
    const ReadingRecord *last = nullptr;
    for (const ReadingRecord &x : r.readings)
        if (x.result == 1)
            last = &x;
    Verdict v;
    v.summary = QStringLiteral("slave 1 is a working pressure sensor in OP (%1 mbar)")
                    .arg(double(last->raw) / 100.0, 0, 'f', 3);
    if (lost > 0)
        v.warnings << QStringLiteral("%1 of %2 exchanges got no frame back").arg(lost).arg(taken);
    if (wrongWkc > 0)
        v.warnings << QStringLiteral("%1 of %2 exchanges came back with a working counter other than the "
                                     "expected %3: a slave does not exchange its data")
                          .arg(wrongWkc)
                          .arg(back)
                          .arg(r.expectedWkc);
    return v;
}

} // namespace

Verdict judgeAdapterList(size_t adapterCount, const RawAccess &access, const QString &listFailure)
{
    if (adapterCount == 0 && !listFailure.isEmpty())
        return failure(1, QStringLiteral("the adapters could not be listed (the master says: %1)").arg(listFailure),
                       QStringLiteral("check that this machine's network interfaces can be read (ip link lists "
                                      "them), then run this again"));
    if (adapterCount == 0)
        return failure(1, QStringLiteral("no Ethernet adapter found"),
                       QStringLiteral("plug in the adapter that leads to the bus (a USB adapter: check "
                                      "that its driver is loaded, ip link lists it), then run this again"));
    if (!access.allowed)
        return failure(3, QStringLiteral("this program may not open adapters for raw EtherCAT frames: %1")
                              .arg(access.problem),
                       access.remedy);
    Verdict v;
    v.summary = QStringLiteral("%1 adapter%2 listed; give one as the argument to check its bus")
                    .arg(adapterCount)
                    .arg(adapterCount == 1 ? QString() : QStringLiteral("s"));
    return v;
}

Verdict judge(const BusReport &r)
{
    const StepRecord *last = lastStep(r);
    if (!last || (last->step == ConnectStep::OpenAdapter && last->result <= 0))
        return openFailed(r);
    if (last->step == ConnectStep::FindSlaves && last->result <= 0)
        return noSlaves(r);
    if (!r.connected)
        return mappingRefused(r, *last);
    if (r.interruptedBy && int(r.readings.size()) < kReadings)
        return failure(128 + r.interruptedBy, QStringLiteral("stopped before the check was done"),
                       QStringLiteral("run the check again and let it finish (it takes at most about 11 s)"));

    const SlaveFacts &sensor = r.slaves.front();
    Verdict v = (sensor.state != ecwire::al::Op) ? notInOp(sensor) : fromReadings(r);
    for (size_t i = 1; i < r.slaves.size(); ++i) {
        const SlaveFacts &s = r.slaves[i];
        if (s.state != ecwire::al::Op)
            v.warnings << QStringLiteral("%1 is in %2%3; the window ignores it, but it does not run")
                              .arg(slaveLabel(s), stateText(s.state),
                                   s.alStatusCode ? QStringLiteral(", ") + alStatusText(s.alStatusCode)
                                                  : QString());
    }
    return v;
}

} // namespace buscheck
