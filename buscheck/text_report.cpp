#include "text_report.h"

#include "facts_text.h"
#include "verdict.h"

#include <ecwire/registers.h>
#include <ecwire/sensor_image.h>

namespace buscheck {

namespace {

QString yesNo(bool b)
{
    return b ? QStringLiteral("yes") : QStringLiteral("no");
}

QString linkText(const AdapterLink &link)
{
    if (!link.known)
        return QStringLiteral("not known to this machine");
    return QStringLiteral("%1, carrier %2").arg(link.up ? QStringLiteral("up") : QStringLiteral("down"),
                                                yesNo(link.carrier));
}

QString accessText(const RawAccess &access)
{
    return access.allowed ? QStringLiteral("yes (%1)").arg(access.how) : QStringLiteral("no");
}

QString coeText(uint8_t bits)
{
    const QStringList names = coeDetailNames(bits);
    return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
}

void printSlave(QTextStream &out, const SlaveFacts &s)
{
    const QStringList protocols = mailboxProtocolNames(s.mailboxProtocols);
    out << "  slave " << s.position << ", station address " << hexText(s.station, 4)
        << " (" << s.station << ")\n";
    out << "    vendor id           " << hexText(s.vendor, 8) << "\n";
    out << "    product code        " << hexText(s.product, 8) << "\n";
    out << "    revision            " << hexText(s.revision, 8) << "\n";
    out << "    serial              " << hexText(s.serial, 8) << "\n";
    out << "    name                " << (s.name.isEmpty() ? QStringLiteral("(none)") : s.name) << "\n";
    out << "    ESC type            " << (s.escType ? hexText(*s.escType, 2) : notReported()) << "\n";
    out << "    distributed clocks  " << yesNo(s.dc) << "\n";
    out << "    mailbox protocols   " << (protocols.isEmpty() ? QStringLiteral("none") : protocols.join(QStringLiteral(", ")))
        << "\n";
    out << "    CoE details         " << coeText(s.coeDetails) << "\n";
    out << "    output bytes        " << s.outputBytes << "\n";
    out << "    input bytes         " << s.inputBytes << "\n";
    const std::optional<QString> mapping = mappingFrom(s);
    out << "    mapping from        " << mapping.value_or(notReported()) << "\n";
    if (s.sizesFallback && !s.sizesFallback->isEmpty())
        out << "    CoE not used        " << *s.sizesFallback << "\n";
    out << "    state               " << stateText(s.state);
    if (s.state != ecwire::al::Op)
        out << ", short of OP: " << alStatusText(s.alStatusCode);
    out << "\n";
}

void printSensor(QTextStream &out, const BusReport &r)
{
    const SlaveFacts &s = r.slaves.front();
    out << "\nPressure sensor: " << slaveLabel(s)
        << (s.qualifiesAsSensor ? " qualifies" : " does not qualify") << " (" << s.inputBytes
        << " input bytes, at least " << ecwire::sensor::ImageSize << " needed)\n";
}

void printReadings(QTextStream &out, const BusReport &r)
{
    if (r.readings.empty())
        return;
    out << "\nReadings, one every 10 ms (expected working counter " << r.expectedWkc << "):\n";
    out << QStringLiteral("  %1  %2  %3  %4  %5  %6\n")
               .arg(QStringLiteral("#"), 2)
               .arg(QStringLiteral("flags"), -16)
               .arg(QStringLiteral("raw value"), 12)
               .arg(QStringLiteral("mbar"), 10)
               .arg(QStringLiteral("wkc"), 4)
               .arg(QStringLiteral("slave 1, health"));
    int n = 0;
    for (const ReadingRecord &x : r.readings) {
        ++n;
        const QString health = stateText(x.state) + (x.healthy ? QStringLiteral(", healthy") : QStringLiteral(", not healthy"));
        if (x.result != 1) {
            out << QStringLiteral("  %1  %2  %3  %4\n")
                       .arg(n, 2)
                       .arg(x.wkc < 0 ? QStringLiteral("no frame came back") : QStringLiteral("no slave processed it"), -42)
                       .arg(x.wkc, 4)
                       .arg(health);
            continue;
        }
        out << QStringLiteral("  %1  %2  %3  %4  %5  %6\n")
                   .arg(n, 2)
                   .arg(flagsText(x), -16)
                   .arg(double(x.raw), 12, 'f', 2)
                   .arg(double(x.raw) / 100.0, 10, 'f', 3)
                   .arg(x.wkc, 4)
                   .arg(health);
    }
}

void printMasterRecords(QTextStream &out, const BusReport &r)
{
    if (!r.masterErrors.empty()) {
        out << "\nThe master's error list (" << r.masterErrors.size() << "):\n";
        for (const MasterError &e : r.masterErrors)
            out << "  " << e.text << "\n";
    }
    if (r.masterReasons && !r.masterReasons->isEmpty()) {
        out << "\nThe master's messages (" << r.masterReasons->size() << "):\n";
        for (const QString &line : *r.masterReasons)
            out << "  " << line << "\n";
    }
}

} // namespace

void printAdapterList(QTextStream &out, const std::vector<AdapterEntry> &adapters, const RawAccess &access)
{
    out << "Adapters, in the order the window lists them:\n";
    if (adapters.empty())
        out << "  (none)\n";
    for (const AdapterEntry &a : adapters) {
        out << "  " << QString::fromUtf8(a.name) << "\n";
        out << "    description: " << a.description << "\n";
        out << "    link: " << linkText(a.link) << "\n";
    }
    out << "This program may open adapters for raw EtherCAT frames: " << accessText(access) << "\n";
}

void printAdapterHeader(QTextStream &out, const BusReport &r)
{
    out << "Bus check on " << QString::fromUtf8(r.adapter) << "\n";
    out << "  link: " << linkText(r.link) << "\n";
    out << "  may open it for raw EtherCAT frames: " << accessText(r.access) << "\n";
    out << "\nBringing the bus up as the window's Connect does:\n";
    out.flush();
}

void printStep(QTextStream &out, const StepRecord &s)
{
    if (!s.refusal.isEmpty())
        out << "  the connect stops here: " << s.refusal << "\n";
    else
        out << QStringLiteral("  %1 %2  %3\n")
                   .arg(stepTitle(s.step), -32)
                   .arg(QStringLiteral("%1 ms").arg(s.ms, 0, 'f', 2), 11)
                   .arg(stepResultText(s));
    out.flush();
}

void printBusDetails(QTextStream &out, const BusReport &r)
{
    if (!r.slaves.empty()) {
        out << "\nSlaves (" << r.slaves.size() << "):\n";
        for (const SlaveFacts &s : r.slaves)
            printSlave(out, s);
        printSensor(out, r);
        printReadings(out, r);
    }
    printMasterRecords(out, r);
    out.flush();
}

void printBroughtDown(QTextStream &out)
{
    out << "\nBus brought down as the window does: INIT requested from all slaves, adapter released.\n";
    out.flush();
}

QString nextLine(const Verdict &v)
{
    return QStringLiteral("Next: ") + v.next;
}

void printVerdict(QTextStream &out, const Verdict &v)
{
    out << "\n";
    for (const QString &w : v.warnings)
        out << "Note: " << w << "\n";
    out << "Result: " << v.summary << "\n";
    if (!v.next.isEmpty())
        out << nextLine(v) << "\n";
    out.flush();
}

} // namespace buscheck
