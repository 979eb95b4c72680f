#include "message_capture.h"

#include <QList>
#include <QMutex>
#include <QPair>

namespace testsupport {

namespace {

// Messages may come from any thread; the handler is process-wide.
QMutex g_lock;
QList<QPair<QtMsgType, QString>> g_messages;
QtMessageHandler g_previous = nullptr;

void capture(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    {
        QMutexLocker lock(&g_lock);
        g_messages.append({type, text});
    }
    if (g_previous)
        g_previous(type, context, text);
}

QStringList collect(bool any, QtMsgType type)
{
    QMutexLocker lock(&g_lock);
    QStringList out;
    for (const auto &m : g_messages)
        if (any || m.first == type)
            out << m.second;
    return out;
}

} // namespace

MessageCapture::MessageCapture()
{
    QMutexLocker lock(&g_lock);
    g_messages.clear();
    g_previous = qInstallMessageHandler(capture);
}

MessageCapture::~MessageCapture()
{
    qInstallMessageHandler(g_previous);
    g_previous = nullptr;
}

QStringList MessageCapture::messages() const { return collect(true, QtDebugMsg); }

QStringList MessageCapture::messages(QtMsgType type) const { return collect(false, type); }

int MessageCapture::count(const QString &prefix) const
{
    int n = 0;
    for (const QString &m : messages())
        if (m.startsWith(prefix))
            ++n;
    return n;
}

} // namespace testsupport
