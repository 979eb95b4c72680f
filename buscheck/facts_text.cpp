#include "facts_text.h"

#include <ecwire/al_status.h>
#include <ecwire/hex.h>
#include <ecwire/registers.h>
#include <ecwire/sii.h>

namespace buscheck {

namespace {

struct Bit {
    unsigned bit;
    const char *name;
};

constexpr Bit kMailboxProtocols[] = {
    {ecwire::sii::ProtoAoE, "AoE"}, {ecwire::sii::ProtoEoE, "EoE"}, {ecwire::sii::ProtoCoE, "CoE"},
    {ecwire::sii::ProtoFoE, "FoE"}, {ecwire::sii::ProtoSoE, "SoE"}, {ecwire::sii::ProtoVoE, "VoE"},
};

constexpr Bit kCoeDetails[] = {
    {ecwire::sii::CoeSdo, "SDO"},
    {ecwire::sii::CoeSdoInfo, "SDO information"},
    {ecwire::sii::CoePdoAssign, "PDO assign"},
    {ecwire::sii::CoePdoConfig, "PDO configuration"},
    {ecwire::sii::CoeUploadAtStartup, "upload at start-up"},
    {ecwire::sii::CoeCompleteAccess, "SDO complete access"},
};

template <size_t N>
QStringList namesOf(unsigned bits, const Bit (&table)[N])
{
    QStringList out;
    for (const Bit &b : table)
        if (bits & b.bit)
            out << QString::fromLatin1(b.name);
    return out;
}

} // namespace

QString stateText(int state)
{
    if (state == 0)
        return QStringLiteral("no answer");
    QString s = QString::fromUtf8(ecwire::al::stateName(uint16_t(state)));
    if (s == QLatin1String("unknown"))
        s = QStringLiteral("state ") + hexText(unsigned(state) & ecwire::al::StateMask, 1);
    if (state & ecwire::al::ErrorFlag)
        s += QStringLiteral(" + ERROR");
    return s;
}

QString slaveLabel(const SlaveFacts &slave)
{
    if (slave.name.isEmpty())
        return QStringLiteral("slave %1").arg(slave.position);
    return QStringLiteral("slave %1 (%2)").arg(slave.position).arg(slave.name);
}

QString alStatusText(uint16_t code)
{
    return QStringLiteral("AL status %1 (%2)").arg(hexText(code, 4), QString::fromUtf8(ecwire::al::statusCodeText(code)));
}

QStringList mailboxProtocolNames(uint16_t bits)
{
    return namesOf(bits, kMailboxProtocols);
}

QStringList coeDetailNames(uint8_t bits)
{
    return namesOf(bits, kCoeDetails);
}

QString flagsText(const ReadingRecord &r)
{
    QString s = r.valid ? QStringLiteral("valid") : QStringLiteral("invalid");
    if (r.over)
        s += QStringLiteral(" over");
    if (r.under)
        s += QStringLiteral(" under");
    return s;
}

QString hexText(uint32_t value, int digits)
{
    return QString::fromStdString(ecwire::hex(value, digits));
}

QString notReported()
{
    return QStringLiteral("not reported by this master");
}

std::optional<QString> mappingFrom(const SlaveFacts &slave)
{
    if (!slave.mappingFromCoe)
        return std::nullopt;
    return *slave.mappingFromCoe ? QStringLiteral("CoE") : QStringLiteral("SII");
}

QString stepTitle(ecat::ConnectStep step)
{
    using ecat::ConnectStep;
    switch (step) {
    case ConnectStep::OpenAdapter: return QStringLiteral("open the adapter");
    case ConnectStep::FindSlaves: return QStringLiteral("find the slaves");
    case ConnectStep::MapProcessData: return QStringLiteral("map the process data");
    case ConnectStep::ConfigureClocks: return QStringLiteral("set up distributed clocks");
    case ConnectStep::WaitSafeOp:
        return QStringLiteral("wait for SAFE-OP (up to %1 s)").arg(ecat::kSafeOpTimeoutUs / 1000000);
    case ConnectStep::FirstExchange: return QStringLiteral("first process-data exchange");
    case ConnectStep::RequestOp: return QStringLiteral("request OP");
    case ConnectStep::WaitOp: return QStringLiteral("wait for OP (up to %1 s)").arg(ecat::kOpTimeoutUs / 1000000);
    }
    return QString();
}

QString stepKey(ecat::ConnectStep step)
{
    using ecat::ConnectStep;
    switch (step) {
    case ConnectStep::OpenAdapter: return QStringLiteral("open-adapter");
    case ConnectStep::FindSlaves: return QStringLiteral("find-slaves");
    case ConnectStep::MapProcessData: return QStringLiteral("map-process-data");
    case ConnectStep::ConfigureClocks: return QStringLiteral("configure-clocks");
    case ConnectStep::WaitSafeOp: return QStringLiteral("wait-safe-op");
    case ConnectStep::FirstExchange: return QStringLiteral("first-exchange");
    case ConnectStep::RequestOp: return QStringLiteral("request-op");
    case ConnectStep::WaitOp: return QStringLiteral("wait-op");
    }
    return QString();
}

QString stepResultText(const StepRecord &s)
{
    using ecat::ConnectStep;
    const int r = s.result;
    switch (s.step) {
    case ConnectStep::OpenAdapter: return r > 0 ? QStringLiteral("opened") : QStringLiteral("could not be opened");
    case ConnectStep::FindSlaves:
        if (r <= 0)
            return QStringLiteral("no slave answered");
        return r == 1 ? QStringLiteral("1 slave") : QStringLiteral("%1 slaves").arg(r);
    case ConnectStep::MapProcessData: return QStringLiteral("%1 bytes of process data").arg(r);
    case ConnectStep::ConfigureClocks:
        return r ? QStringLiteral("a slave has distributed clocks") : QStringLiteral("no slave has distributed clocks");
    case ConnectStep::WaitSafeOp:
    case ConnectStep::WaitOp: return QStringLiteral("bus reports ") + stateText(r);
    case ConnectStep::FirstExchange:
    case ConnectStep::RequestOp:
        return r < 0 ? QStringLiteral("no frame came back") : QStringLiteral("working counter %1").arg(r);
    }
    return QString();
}

} // namespace buscheck
