#include "rule_texts.h"

#include <QCoreApplication>
#include <QDebug>

namespace acquisition {

QString statusText(Status status)
{
    return QCoreApplication::translate(kTextContext, statusSource(status));
}

QString statusText(const Outcome &outcome)
{
    const QString text = statusText(outcome.status);
    if (outcome.status != Status::LinkIssue)
        return text;
    return text.arg(outcome.state, 0, 16).arg(outcome.wkc, 0, 10);
}

void emitDebug(const DebugMessage &message)
{
    if (!message.title)
        return;
    QDebug debug = qDebug();
    debug << message.title;
    for (int i = 0; i < message.fieldCount; ++i) {
        const DebugField &field = message.fields[i];
        debug << field.name;
        if (field.isRaw)
            debug << field.raw;
        else
            debug << field.number;
    }
}

} // namespace acquisition
