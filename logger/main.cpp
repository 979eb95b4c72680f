// pressure-logger: the pressure sensor's records without a desktop.
// Exit status: 0 when stopped (SIGTERM, SIGINT, --duration) with both files
// synced; 1 when the bus or a file cannot be opened at start, or a file
// could not be synced at the end; 2 for a bad command line (or MQTT settings).
#include "logger_options.h"
#include "mqtt_publisher.h"
#include "pressure_logger.h"
#include "stop_signals.h"
#include "tick_counter.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

void printLine(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char *argv[])
{
    // SIGTERM and SIGINT stop, SIGHUP starts a new run: flags the tick takes.
    StopSignals stopSignals(StopSignals::Hangup::StartsNewRun);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pressure-logger"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PRESSURE_MONITOR_VERSION));

    const logger::ParsedOptions options = logger::parseOptions(QCoreApplication::arguments());
    switch (options.outcome) {
    case logger::ParsedOptions::ShowHelp:
    case logger::ParsedOptions::ShowVersion:
        std::fputs(options.text.toLocal8Bit().constData(), stdout);
        if (!options.text.endsWith(QLatin1Char('\n')))
            std::fputc('\n', stdout);
        return 0;
    case logger::ParsedOptions::UsageError:
        printLine(stderr, QStringLiteral("pressure-logger: ") + options.text);
        return 2;
    case logger::ParsedOptions::Run:
        break;
    }

    const logger::SystemClock clock;
    logger::PressureLogger pressureLogger(
        options.settings, clock, [](const QString &line) { printLine(stdout, line); },
        [](const QString &event) { printLine(stderr, QStringLiteral("pressure-logger: ") + event); });
    const int startResult = pressureLogger.start();
    if (startResult != 0)
        return startResult;
    // Publishing never changes the exit status: the CSV files decide it.
    std::unique_ptr<logger::MqttPublisher> publisher;
    if (options.mqtt.enabled()) {
        publisher = std::make_unique<logger::MqttPublisher>(
            options.mqtt, QString::fromUtf8(options.settings.adapter),
            [](const QString &event) { printLine(stderr, QStringLiteral("pressure-logger: ") + event); });
        publisher->start();
        pressureLogger.setPublisher(publisher.get());
    }

    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.setInterval(tick_counter::kTickMs);
    QObject::connect(&ticks, &QTimer::timeout, &app, [&] {
        if (const int signalNumber = stopSignals.takeStop())
            pressureLogger.requestStop(QString::fromLatin1(StopSignals::name(signalNumber)));
        if (stopSignals.takeNewRun())
            pressureLogger.requestNewRun();
        if (!pressureLogger.tick()) {
            ticks.stop();
            QCoreApplication::exit(pressureLogger.finish());
        }
    });
    ticks.start();
    return QCoreApplication::exec();
}
