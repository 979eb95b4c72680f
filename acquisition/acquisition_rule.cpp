#include "acquisition_rule.h"

#include <climits>

// Qt's translation tools find the texts by this macro's name; here, without
// Qt, it gives the source text as it is.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(context, text) text
#endif

namespace acquisition {

const char *statusSource(Status status)
{
    switch (status) {
    case Status::ReadFailed: return QT_TRANSLATE_NOOP("MainWindow", "EtherCAT read failed");
    case Status::ValidPressure: return QT_TRANSLATE_NOOP("MainWindow", "Connected, valid pressure");
    case Status::PressureInvalid: return QT_TRANSLATE_NOOP("MainWindow", "Connected, pressure invalid");
    case Status::LinkIssue: return QT_TRANSLATE_NOOP("MainWindow", "EtherCAT issue: state=0x%1 WKC=%2");
    case Status::AutoReconnecting: return QT_TRANSLATE_NOOP("MainWindow", "Auto reconnecting...");
    case Status::Reconnected: return QT_TRANSLATE_NOOP("MainWindow", "Reconnected");
    case Status::ReconnectFailed: return QT_TRANSLATE_NOOP("MainWindow", "Reconnect failed");
    }
    return "";
}

double toMbar(float raw)
{
    return double(raw) / 100.0;
}

bool isGoodReading(const Exchange &x)
{
    return x.checkOk && x.readOk && x.valid == 1;
}

int countInvalid(int invalidCount, const Exchange &x)
{
    if (!x.readOk)
        return invalidCount;
    if (x.valid == 1)
        return 0;
    return invalidCount < INT_MAX ? invalidCount + 1 : invalidCount;
}

namespace {

DebugField number(const char *name, int value)
{
    DebugField f;
    f.name = name;
    f.number = value;
    return f;
}

DebugField raw(const char *name, float value)
{
    DebugField f;
    f.name = name;
    f.isRaw = true;
    f.raw = value;
    return f;
}

DebugMessage invalidPressureMessage(const Exchange &x)
{
    return {"INVALID PRESSURE",
            {raw("pressure=", x.pressure), number("valid=", x.valid), number("over=", x.over),
             number("under=", x.under)},
            4};
}

DebugMessage linkIssueMessage(const Exchange &x)
{
    return {"ETHERCAT ISSUE", {number("state=", x.state), number("wkc=", x.wkc)}, 2};
}

} // namespace

Outcome decide(const Exchange &x, int invalidCount)
{
    Outcome o;
    o.state = x.state;
    o.wkc = x.wkc;
    if (!x.readOk) {
        o.status = Status::ReadFailed;
        return o;
    }
    o.reading = true;
    o.mbar = toMbar(x.pressure);
    o.record = isGoodReading(x);
    o.reconnect = invalidCount >= kReconnectAfterInvalid;
    if (x.checkOk && x.valid == 1) {
        o.status = Status::ValidPressure;
    } else if (x.checkOk) {
        o.status = Status::PressureInvalid;
        if (!o.reconnect)
            o.debug = invalidPressureMessage(x);
    } else {
        o.status = Status::LinkIssue;
        if (!o.reconnect)
            o.debug = linkIssueMessage(x);
    }
    return o;
}

AfterReconnect afterReconnect(bool connected, int invalidCount)
{
    if (connected)
        return {Status::Reconnected, 0};
    return {Status::ReconnectFailed, invalidCount};
}

} // namespace acquisition
