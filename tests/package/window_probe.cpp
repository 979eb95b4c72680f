// A Qt generic plugin that tests/package/check-deb plants in the installed
// window through QT_PLUGIN_PATH and QT_QPA_GENERIC_PLUGINS=windowprobe, as a
// local user could. It reports what a planted plugin runs with (the
// process's effective capabilities), then presses Connect on the adapter
// named by WINDOW_PROBE_ADAPTER (or the one selected), reports the status
// label and the first pressure, and ends the window. Lines on stderr:
//   window-probe: loaded, CapEff: <hex>
//   window-probe: status <status label>
//   window-probe: pressure <pressure label>      (when connected)
//   window-probe: CapEff after Connect: <hex>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGenericPlugin>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <cstdio>

namespace {

QByteArray effectiveCapabilities()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return "unknown";
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("CapEff:"))
            return line.mid(7).trimmed();
    return "unknown";
}

void say(const QByteArray &line)
{
    std::fprintf(stderr, "window-probe: %s\n", line.constData());
    std::fflush(stderr);
}

template <typename T>
T *widget(const char *name)
{
    for (QWidget *w : QApplication::allWidgets())
        if (w->objectName() == QLatin1String(name))
            if (T *t = qobject_cast<T *>(w))
                return t;
    return nullptr;
}

class Probe : public QObject {
public:
    Probe()
    {
        say("loaded, CapEff: " + effectiveCapabilities());
        since_.start();
        QObject::connect(&poll_, &QTimer::timeout, this, [this] { step(); });
        poll_.start(50);
    }

private:
    void step()
    {
        auto *button = widget<QPushButton>("connectButton");
        if (!clicked_) {
            if (!button || !button->isVisible())
                return giveUpAfter(10000, "no Connect button");
            auto *adapters = widget<QComboBox>("adapterComboBox");
            const QString wanted = qEnvironmentVariable("WINDOW_PROBE_ADAPTER");
            if (adapters && !wanted.isEmpty())
                adapters->setCurrentIndex(adapters->findData(wanted, Qt::UserRole));
            button->click();
            clicked_ = true;
            const QString status = widget<QLabel>("statusLabel")->text();
            say("status " + status.toUtf8());
            connected_ = status == QLatin1String("Connected");
            since_.restart();
        }
        static const QRegularExpression reading(QStringLiteral("^-?[0-9]+\\.[0-9]+ mbar$"));
        const QString pressure = widget<QLabel>("pressureLabel")->text();
        if (connected_ && !reading.match(pressure).hasMatch())
            return giveUpAfter(5000, "no pressure shown");
        if (connected_)
            say("pressure " + pressure.toUtf8());
        finish(0);
    }

    void giveUpAfter(qint64 ms, const QByteArray &what)
    {
        if (since_.elapsed() > ms) {
            say(what);
            finish(1);
        }
    }

    void finish(int code)
    {
        poll_.stop();
        say("CapEff after Connect: " + effectiveCapabilities());
        QCoreApplication::exit(code);
    }

    QTimer poll_;
    QElapsedTimer since_;
    bool clicked_ = false;
    bool connected_ = false;
};

} // namespace

class WindowProbePlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "window_probe.json")
public:
    QObject *create(const QString &key, const QString &) override
    {
        return key == QLatin1String("windowprobe") ? new Probe : nullptr;
    }
};

#include "window_probe.moc"
