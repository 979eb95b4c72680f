#include "window_rig.h"

#include "appstate.h"
#include "bench_line.h"
#include "mainwindow.h"
#include "record_check.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace e2e {

WindowRig::WindowRig() { clock_.start(); }

WindowRig::~WindowRig()
{
    window_.reset();
    if (!previousDir_.isEmpty())
        QDir::setCurrent(previousDir_);
}

bool WindowRig::build(QString *error, const QString &workDir)
{
    workDir_ = workDir.isEmpty() ? tmp_.path() : workDir;
    if (workDir.isEmpty() && !tmp_.isValid()) {
        *error = QStringLiteral("no temporary directory: %1").arg(tmp_.errorString());
        return false;
    }
    previousDir_ = QDir::currentPath();
    if (!QDir::setCurrent(workDir_)) {
        *error = QStringLiteral("cannot enter %1").arg(workDir_);
        return false;
    }
    // A fresh process-wide state, as at start-up.
    connected = false;
    loggingEnabled = false;
    invalidCount = 0;

    window_ = std::make_unique<MainWindow>();
    window_->show();
    status_ = window_->findChild<QLabel *>(QStringLiteral("statusLabel"));
    pressure_ = window_->findChild<QLabel *>(QStringLiteral("pressureLabel"));
    logging_ = window_->findChild<QLabel *>(QStringLiteral("loggingStatusLabel"));
    adapters_ = window_->findChild<QComboBox *>(QStringLiteral("adapterComboBox"));
    connect_ = window_->findChild<QPushButton *>(QStringLiteral("connectButton"));
    start_ = window_->findChild<QPushButton *>(QStringLiteral("startButton"));
    stop_ = window_->findChild<QPushButton *>(QStringLiteral("stopButton"));
    if (!status_ || !pressure_ || !logging_ || !adapters_ || !connect_ || !start_ || !stop_) {
        *error = QStringLiteral("the window lacks one of its named widgets");
        return false;
    }
    // The acquisition timer: the window's only 10 ms timer. Connected after the
    // window's own connection, so this runs right after each tick.
    QTimer *timer = nullptr;
    for (QTimer *t : window_->findChildren<QTimer *>())
        if (t->interval() == 10)
            timer = t;
    if (!timer) {
        *error = QStringLiteral("the window has no 10 ms timer");
        return false;
    }
    QObject::connect(timer, &QTimer::timeout, this, [this] { onTimeout(); });
    return true;
}

void WindowRig::onTimeout()
{
    if (tickCount % 100 != 0)
        return;
    const QString run = runCsv();
    const QString daily = dailyCsv();
    ticks_.push_back(DisplayTick{nowMs(), tickCount, status(), pressure(), logging(),
                                 run.isEmpty() ? 0 : testsupport::lineCount(run),
                                 daily.isEmpty() ? 0 : testsupport::lineCount(daily)});
}

bool WindowRig::selectAdapter(const QString &name)
{
    const int index = adapters_->findData(name, Qt::UserRole);
    if (index < 0)
        return false;
    adapters_->setCurrentIndex(index);
    return true;
}

void WindowRig::clickConnect() { connect_->click(); }
void WindowRig::clickStart() { start_->click(); }
void WindowRig::clickStop() { stop_->click(); }

QString WindowRig::status() const { return status_->text(); }
QString WindowRig::pressure() const { return pressure_->text(); }
QString WindowRig::logging() const { return logging_->text(); }

bool WindowRig::waitUntil(const std::function<bool()> &pred, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

bool WindowRig::waitDisplayTicks(int count, int timeoutMs)
{
    const int target = ticks_.size() + count;
    return waitUntil([&] { return ticks_.size() >= target; }, timeoutMs);
}

void WindowRig::runFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

QDir WindowRig::dir() const { return QDir(workDir_); }

QString WindowRig::runCsv() const
{
    const QDir d = dir();
    const QStringList runs = d.entryList({QStringLiteral("*_pressure.csv")}, QDir::Files, QDir::Time);
    return runs.isEmpty() ? QString() : d.filePath(runs.first());
}

QString WindowRig::dailyCsv() const
{
    const QStringList daily = testsupport::dailyCsvFiles(dir());
    return daily.isEmpty() ? QString() : dir().filePath(daily.first());
}

void printFigure(const QString &name, double value, const QString &unit, const char *goal)
{
    bench::line("e2e", name.toStdString(), value, unit.toUtf8().constData(), 0, goal);
}

}  // namespace e2e
