#include "json_report.h"

#include "facts_text.h"
#include "stop_signals.h"
#include "verdict.h"

#include <ecwire/al_status.h>
#include <ecwire/sensor_image.h>

#include <QJsonArray>

#include <cmath>
#include <type_traits>

namespace buscheck {

namespace {

// A fact the master may not report: null when it does not.
template <typename T>
QJsonValue orNull(const std::optional<T> &v)
{
    if constexpr (std::is_arithmetic_v<T>)
        return v ? QJsonValue(double(*v)) : QJsonValue(QJsonValue::Null);
    else
        return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
}

QJsonObject linkJson(const AdapterLink &link)
{
    return QJsonObject{{"known", link.known}, {"up", link.up}, {"carrier", link.carrier}};
}

QJsonObject accessJson(const RawAccess &access)
{
    QJsonObject o{{"allowed", access.allowed}};
    o["how"] = access.allowed ? QJsonValue(access.how) : QJsonValue(QJsonValue::Null);
    if (!access.allowed)
        o["grant"] = grantCommand();
    return o;
}

QJsonObject verdictJson(const Verdict &v)
{
    QJsonObject o{{"exitStatus", v.exitStatus}, {"ok", v.exitStatus == 0}, {"summary", v.summary},
                  {"warnings", QJsonArray::fromStringList(v.warnings)}};
    o["next"] = v.next.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(v.next);
    return o;
}

QJsonObject stepJson(const StepRecord &s)
{
    QJsonObject o{{"step", stepKey(s.step)}, {"title", stepTitle(s.step)}, {"result", s.result},
                  {"text", stepResultText(s)}, {"ms", std::round(s.ms * 1000.0) / 1000.0}};
    if (!s.refusal.isEmpty())
        o["refused"] = s.refusal;
    return o;
}

QJsonObject slaveJson(const SlaveFacts &s)
{
    QJsonObject o{{"position", s.position},
                  {"stationAddress", s.station},
                  {"vendorId", double(s.vendor)},
                  {"productCode", double(s.product)},
                  {"revision", double(s.revision)},
                  {"serial", double(s.serial)},
                  {"name", s.name},
                  {"escType", orNull(s.escType)},
                  {"distributedClocks", s.dc},
                  {"mailboxProtocols", QJsonArray::fromStringList(mailboxProtocolNames(s.mailboxProtocols))},
                  {"outputBytes", double(s.outputBytes)},
                  {"inputBytes", double(s.inputBytes)},
                  {"state", s.state},
                  {"stateText", stateText(s.state)},
                  {"alStatusCode", s.alStatusCode},
                  {"alStatusText", QString::fromUtf8(ecwire::al::statusCodeText(s.alStatusCode))}};
    o["coeDetails"] = QJsonArray::fromStringList(coeDetailNames(s.coeDetails));
    o["mappingFrom"] = orNull(mappingFrom(s));
    o["outputsFrom"] = orNull(s.outputsFrom);
    o["inputsFrom"] = orNull(s.inputsFrom);
    if (s.sizesFallback)
        o["sizesFallback"] = s.sizesFallback->isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(*s.sizesFallback);
    else
        o["sizesFallback"] = QJsonValue(QJsonValue::Null);
    return o;
}

QJsonObject masterErrorJson(const MasterError &e)
{
    QJsonObject o{{"slave", e.slave}, {"type", e.type}, {"code", double(e.code)}, {"text", e.text}};
    o["index"] = orNull(e.index);
    o["subindex"] = orNull(e.subindex);
    o["meaning"] = e.meaning.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(e.meaning);
    return o;
}

QJsonObject readingJson(const ReadingRecord &r)
{
    QJsonObject o{{"result", r.result}, {"wkc", r.wkc}, {"state", r.state}, {"healthy", r.healthy}};
    if (r.result == 1) {
        o["valid"] = r.valid == 1;
        o["over"] = r.over == 1;
        o["under"] = r.under == 1;
        o["raw"] = double(r.raw);
        o["mbar"] = double(r.raw) / 100.0;
    }
    return o;
}

} // namespace

QJsonObject adapterListJson(const std::vector<AdapterEntry> &adapters, const RawAccess &access, const Verdict &verdict)
{
    QJsonArray list;
    for (const AdapterEntry &a : adapters)
        list.append(QJsonObject{{"name", QString::fromUtf8(a.name)},
                                {"description", a.description},
                                {"link", linkJson(a.link)}});
    return QJsonObject{{"adapters", list}, {"rawAccess", accessJson(access)}, {"verdict", verdictJson(verdict)}};
}

QJsonObject busReportJson(const BusReport &r, const Verdict &verdict)
{
    QJsonArray steps;
    for (const StepRecord &s : r.steps)
        steps.append(stepJson(s));
    QJsonArray slaves;
    for (const SlaveFacts &s : r.slaves)
        slaves.append(slaveJson(s));
    QJsonArray readings;
    for (const ReadingRecord &x : r.readings)
        readings.append(readingJson(x));
    QJsonArray errors;
    for (const MasterError &e : r.masterErrors)
        errors.append(masterErrorJson(e));

    QJsonObject o{{"adapter", QString::fromUtf8(r.adapter)},
                  {"link", linkJson(r.link)},
                  {"rawAccess", accessJson(r.access)},
                  {"steps", steps},
                  {"connected", r.connected},
                  {"slaves", slaves},
                  {"expectedWkc", r.expectedWkc},
                  {"readings", readings},
                  {"masterErrors", errors},
                  {"broughtDown", r.broughtDown},
                  {"verdict", verdictJson(verdict)}};
    if (!r.slaves.empty())
        o["sensor"] = QJsonObject{{"slave", 1},
                                  {"qualifies", r.slaves.front().qualifiesAsSensor},
                                  {"inputBytes", double(r.slaves.front().inputBytes)},
                                  {"inputBytesNeeded", int(ecwire::sensor::ImageSize)}};
    // What the master printed; null when it tells nothing beyond SOEM's interface.
    o["masterMessages"] = r.masterReasons ? QJsonValue(QJsonArray::fromStringList(*r.masterReasons))
                                          : QJsonValue(QJsonValue::Null);
    if (r.interruptedBy)
        o["interruptedBy"] = QString::fromLatin1(StopSignals::name(r.interruptedBy));
    return o;
}

} // namespace buscheck
