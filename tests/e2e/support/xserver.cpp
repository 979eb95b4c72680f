#include "xserver.h"

#include "sim_process.h" // runToEnd

#include <QGuiApplication>
#include <QPixmap>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QScreen>
#include <QThread>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace e2e {

Xvfb::~Xvfb() { stop(); }

bool Xvfb::start(const QString &screen, QString *error)
{
    int fds[2];
    if (pipe(fds) != 0) {
        *error = QStringLiteral("pipe: %1").arg(qt_error_string(errno));
        return false;
    }
    const QByteArray fdText = QByteArray::number(fds[1]);
    const QByteArray screenText = screen.toLatin1();
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        const int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0)
            dup2(devnull, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", fdText.constData(), "-screen", "0", screenText.constData(),
               "-nolisten", "tcp", "-noreset", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
        close(fds[0]);
        *error = QStringLiteral("fork: %1").arg(qt_error_string(errno));
        return false;
    }
    // Xvfb writes the display number once it accepts connections.
    QByteArray number;
    pollfd p{fds[0], POLLIN, 0};
    while (!number.contains('\n') && poll(&p, 1, 15000) > 0) {
        char buf[16];
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0)
            break;
        number.append(buf, static_cast<int>(n));
    }
    close(fds[0]);
    bool ok = false;
    const int display = number.trimmed().toInt(&ok);
    if (!ok) {
        *error = QStringLiteral("Xvfb did not report a display");
        stop();
        return false;
    }
    qputenv("DISPLAY", ":" + QByteArray::number(display));
    return true;
}

void Xvfb::stop()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

namespace x11 {

QString xdotool(const QStringList &args, int timeoutMs)
{
    const testsupport::Finished f = testsupport::runToEnd(QStringLiteral("xdotool"), args, timeoutMs);
    return f.exitCode == 0 ? f.out : QString();
}

unsigned long findWindow(qint64 pid, const QString &title, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        const QString out = xdotool({"search", "--onlyvisible", "--pid", QString::number(pid), "--name",
                                     "^" + QRegularExpression::escape(title) + "$"}, 5000);
        const QStringList ids = out.split('\n', Qt::SkipEmptyParts);
        if (!ids.isEmpty())
            return ids.first().toULong();
        QThread::msleep(100);
    }
    return 0;
}

QRect windowGeometry(unsigned long window)
{
    const QString out = xdotool({"getwindowgeometry", QString::number(window)});
    const QRegularExpression re("Position: (-?\\d+),(-?\\d+).*Geometry: (\\d+)x(\\d+)",
                                QRegularExpression::DotMatchesEverythingOption);
    const auto m = re.match(out);
    if (!m.hasMatch())
        return QRect();
    return QRect(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
}

QImage grab(unsigned long window)
{
    return QGuiApplication::primaryScreen()->grabWindow(window).toImage().convertToFormat(QImage::Format_RGB32);
}

void click(unsigned long window, QPoint at)
{
    xdotool({"mousemove", "--sync", "--window", QString::number(window), QString::number(at.x()),
             QString::number(at.y()), "click", "1"});
}

void key(const QStringList &keys) { xdotool(QStringList{"key", "--delay", "30"} + keys); }

void type(const QString &text)
{
    // One key per character, by key name: the way the keyboard sends them.
    QStringList keys;
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '/': keys << "slash"; break;
        case '-': keys << "minus"; break;
        case '_': keys << "underscore"; break;
        case '.': keys << "period"; break;
        case ':': keys << "colon"; break;
        case ' ': keys << "space"; break;
        default: keys << QString(c); break;
        }
    }
    key(keys);
}

void focus(unsigned long window) { xdotool({"windowfocus", "--sync", QString::number(window)}); }

bool requestClose(unsigned long window)
{
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (!c || xcb_connection_has_error(c))
        return false;
    auto atom = [c](const char *name) {
        xcb_intern_atom_reply_t *r =
                xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        std::free(r);
        return a;
    };
    xcb_client_message_event_t ev;
    std::memset(&ev, 0, sizeof ev);
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = static_cast<xcb_window_t>(window);
    ev.type = atom("WM_PROTOCOLS");
    ev.data.data32[0] = atom("WM_DELETE_WINDOW");
    ev.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, ev.window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&ev));
    xcb_flush(c);
    xcb_disconnect(c);
    return true;
}

}  // namespace x11

int differingPixels(const QImage &a, const QImage &b, const QRect &rect)
{
    if (!a.rect().contains(rect) || !b.rect().contains(rect))
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int row = rect.top(); row <= rect.bottom(); ++row) {
        const QRgb *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const QRgb *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = rect.left(); col <= rect.right(); ++col)
            if ((p[col] & 0xFFFFFF) != (q[col] & 0xFFFFFF))
                ++n;
    }
    return n;
}

}  // namespace e2e
