// A private X server (Xvfb) for the real-window test, and the few X requests the
// test makes itself: finding the tool's window, grabbing it, input through xdotool
// (XTEST, so the events go through the X server as a person's would) and the
// window manager's close request.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

namespace e2e {

class Xvfb {
public:
    ~Xvfb();
    // Starts Xvfb on a free display with one screen of this size; sets DISPLAY.
    bool start(const QString &screen, QString *error);
    void stop();

private:
    int pid_ = -1;
};

namespace x11 {

// Runs xdotool with these arguments; its stdout, or a null string when it failed.
QString xdotool(const QStringList &args, int timeoutMs = 15000);

// The visible top-level window titled `title` of process `pid`; 0 when none within the time.
unsigned long findWindow(qint64 pid, const QString &title, int timeoutMs = 20000);

// Where the window is on the screen.
QRect windowGeometry(unsigned long window);

// The window's contents as they are on the screen (needs a QGuiApplication on the display).
QImage grab(unsigned long window);

void click(unsigned long window, QPoint at);
void key(const QStringList &keys);         // to the window that has the input focus, one after another
void type(const QString &text);
void focus(unsigned long window);

// Asks the window to close as a window manager's close button would (WM_DELETE_WINDOW).
bool requestClose(unsigned long window);

}  // namespace x11

// Pixels that differ between two images of the same size within `rect` (-1 when
// the rectangle does not fit both).
int differingPixels(const QImage &a, const QImage &b, const QRect &rect);

}  // namespace e2e
