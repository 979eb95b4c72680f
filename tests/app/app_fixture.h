// Shared helpers of the window tests: a fresh process-wide state, a window
// whose timer is stopped (the tests deliver ticks themselves) and a capture
// of Qt debug messages.
#pragma once

#include "appstate.h"
#include "fakelink.h"
#include "mainwindow.h"
#include "mainwindow_ui.h"

#include <QStringList>
#include <QTimer>
#include <QtGlobal>

#include <memory>

namespace app_fixture {

inline QStringList &debugMessages()
{
    static QStringList messages;
    return messages;
}

inline void captureDebug(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type == QtDebugMsg)
        debugMessages().append(msg);
}

// Installs the capture for as long as it lives.
class DebugCapture
{
public:
    DebugCapture() : previous_(qInstallMessageHandler(captureDebug)) { debugMessages().clear(); }
    ~DebugCapture() { qInstallMessageHandler(previous_); }
    DebugCapture(const DebugCapture &) = delete;
    DebugCapture &operator=(const DebugCapture &) = delete;
    QStringList messages() const { return debugMessages(); }

private:
    QtMessageHandler previous_;
};

inline void resetProcessState()
{
    fakelink::reset();
    if (runFile.isOpen())
        runFile.close();
    if (dailyFile.isOpen())
        dailyFile.close();
    runFile.setFileName(QString());
    connected = false;
    loggingEnabled = false;
    tickCount = 0;
    invalidCount = 0;
    runBaseName = QString();
    runStartTime = QDateTime();
}

inline QTimer *tickTimer(MainWindow *w)
{
    return w->findChild<QTimer *>();
}

// A window whose ticks only run when the test calls onTimerTick().
inline std::unique_ptr<MainWindow> quietWindow()
{
    auto w = std::make_unique<MainWindow>();
    if (QTimer *t = tickTimer(w.get()))
        t->stop();
    return w;
}

}  // namespace app_fixture
