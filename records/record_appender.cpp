#include "record_appender.h"

namespace records {

bool RecordAppender::cutBack(QFile &file, qint64 size, QString *error)
{
    if (file.resize(size)) {
        m_dirtyFile.clear();
        m_cleanSize = -1;
        return true;
    }
    m_dirtyFile = file.fileName();
    m_cleanSize = size;
    if (error)
        *error = QStringLiteral("could not remove a partial record: ") + file.errorString();
    return false;
}

bool RecordAppender::append(QFile &file, QTextStream &stream, const QString &line, QString *error)
{
    if (m_cleanSize >= 0) {
        if (m_dirtyFile == file.fileName()) {
            if (!cutBack(file, m_cleanSize, error))
                return false;
        } else {
            // Another file by now (a new run): the old one is closed.
            m_dirtyFile.clear();
            m_cleanSize = -1;
        }
    }

    const qint64 before = file.size();
    stream.resetStatus();
    stream << line;
    stream.flush();
    if (stream.status() == QTextStream::Ok)
        return true;

    QString why = file.errorString();
    stream.resetStatus();
    if (why.isEmpty() || why == QLatin1String("Unknown error"))
        why = QStringLiteral("write failed");
    if (error)
        *error = why;
    QString cutError;
    if (!cutBack(file, before, &cutError) && error)
        *error += QStringLiteral("; ") + cutError;
    return false;
}

} // namespace records
