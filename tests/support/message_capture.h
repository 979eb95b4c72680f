// Captures the messages this process sends through Qt's message handler
// (qDebug, qWarning, ...), where the window reports invalid readings, link
// issues and files it could not write. One capture at a time; each message
// is passed on to the handler that was installed before, so the test's own
// output still shows it.
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace testsupport {

class MessageCapture {
public:
    MessageCapture();   // installs the capture, with nothing captured yet
    ~MessageCapture();  // puts the previous handler back
    MessageCapture(const MessageCapture &) = delete;
    MessageCapture &operator=(const MessageCapture &) = delete;

    QStringList messages() const;               // every kind, in order
    QStringList messages(QtMsgType type) const; // one kind only, e.g. QtDebugMsg
    int count(const QString &prefix) const;     // messages that start with `prefix`
};

} // namespace testsupport
