// The tool's own window built in-process (offscreen), on the real link, with a
// recorder that notes what every display tick left on the labels and in the
// files.
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

#include <functional>
#include <memory>

class MainWindow;
class QComboBox;
class QLabel;
class QPushButton;

namespace e2e {

// What one display tick left behind.
struct DisplayTick {
    qint64 atMs;         // on the rig's clock
    int tick;            // tickCount after it
    QString status;      // statusLabel
    QString pressure;    // pressureLabel
    QString logging;     // loggingStatusLabel
    int runLines;        // complete lines in the current run CSV
    int dailyLines;      // complete lines in the daily CSV
};

class WindowRig : public QObject {
public:
    WindowRig();
    ~WindowRig() override;

    // Enters a fresh working directory (or `workDir` when given) and builds the window there.
    bool build(QString *error, const QString &workDir = QString());
    // Selects the adapter whose name is `name` (the item's data), as the operator would.
    bool selectAdapter(const QString &name);

    void clickConnect();
    void clickStart();
    void clickStop();

    QString status() const;
    QString pressure() const;
    QString logging() const;

    // Runs the event loop until `pred` holds or the time is up; true when it held.
    bool waitUntil(const std::function<bool()> &pred, int timeoutMs);
    // Runs the event loop until `count` further display ticks have happened.
    bool waitDisplayTicks(int count, int timeoutMs);
    // Runs the event loop for this long (used only to let a fault run its course).
    void runFor(int ms);

    qint64 nowMs() const { return clock_.elapsed(); }
    const QVector<DisplayTick> &ticks() const { return ticks_; }

    QDir dir() const;
    QString runCsv() const;      // the newest run CSV, empty when none yet
    QString dailyCsv() const;    // the daily CSV, empty when none yet

    MainWindow *window() const { return window_.get(); }

private:
    void onTimeout();

    QTemporaryDir tmp_;
    QString workDir_;
    QString previousDir_;
    std::unique_ptr<MainWindow> window_;
    QLabel *status_ = nullptr;
    QLabel *pressure_ = nullptr;
    QLabel *logging_ = nullptr;
    QComboBox *adapters_ = nullptr;
    QPushButton *connect_ = nullptr;
    QPushButton *start_ = nullptr;
    QPushButton *stop_ = nullptr;
    QElapsedTimer clock_;
    QVector<DisplayTick> ticks_;
};

// A figure for bench/e2e, as a BENCH line of the area "e2e".
void printFigure(const QString &name, double value, const QString &unit, const char *goal = "-");

}  // namespace e2e
