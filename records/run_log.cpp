#include "run_log.h"

#include "durable_file.h"
#include "record_line.h"
#include "regular_file.h"
#include "run_naming.h"

namespace records {

bool closeLogFile(QFile &file, QTextStream &stream, QString *error)
{
    if (!file.isOpen())
        return true;
    stream.flush();
    return closeDurably(file, error);
}

namespace {

// closeLogFile, with the file's name at the head of `error`.
bool closeNamedLogFile(QFile &file, QTextStream &stream, QString *error)
{
    QString why;
    if (closeLogFile(file, stream, &why))
        return true;
    if (error)
        *error = file.fileName() + QStringLiteral(": ") + why;
    return false;
}

bool openLogFile(QFile &file, const QString &path, QIODevice::OpenMode mode, QString *error)
{
    QString why;
    if (openRegularFileForWriting(file, path, mode, &why))
        return true;
    if (error)
        *error = path + QStringLiteral(": ") + why;
    return false;
}

} // namespace

RunLog::RunLog(const QDir &dir) : m_dir(dir) {}

RunLog::~RunLog()
{
    closeRun(nullptr);
    closeDaily(nullptr);
}

bool RunLog::startRun(const QDateTime &start, QString *error)
{
    closeRun(nullptr);
    m_runBaseName = freeRunBaseName(runStamp(start), m_dir);
    m_runStart = start;
    return openLogFile(m_run, m_dir.filePath(runCsvName(m_runBaseName)), kRunCsvOpenMode, error);
}

bool RunLog::openDaily(const QDate &day, QString *error)
{
    if (m_daily.isOpen() && m_dailyDay == day)
        return true;
    closeDaily(nullptr);
    m_dailyDay = day;
    if (!openLogFile(m_daily, m_dir.filePath(dailyCsvName(day)), kDailyCsvOpenMode, error))
        return false;
    QString why;
    if (!terminateLastLine(m_daily, &why)) {
        m_daily.close();
        if (error)
            *error = m_daily.fileName() + QStringLiteral(": cannot check its last line: ") + why;
        return false;
    }
    return true;
}

RunLog::WriteResult RunLog::write(const QDateTime &now, double mbar)
{
    const QString line = formatRecordLine(now, m_runStart, mbar);
    WriteResult result;
    result.runWritten = m_runAppender.append(m_run, m_runStream, line, &result.runError);
    if (m_daily.isOpen())
        result.dailyWritten = m_dailyAppender.append(m_daily, m_dailyStream, line, &result.dailyError);
    return result;
}

bool RunLog::closeRun(QString *error)
{
    return closeNamedLogFile(m_run, m_runStream, error);
}

bool RunLog::closeDaily(QString *error)
{
    return closeNamedLogFile(m_daily, m_dailyStream, error);
}

} // namespace records
