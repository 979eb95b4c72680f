// The run file parser: the cases of a run file and the mended ones, each
// also checked against a plain QTextStream + split + toDouble reading of
// the same file (finite numbers only), and the round trip from the record
// line back to points.
#include "record_appender.h"
#include "record_line.h"
#include "run_parser.h"

#include "record_check.h"

#include <QtTest>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cmath>
#include <sys/stat.h>

namespace {

// The straightforward reading of a run file, with the same skipping rules.
QList<QPointF> referencePoints(const QString &path)
{
    QList<QPointF> points;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return points;
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.startsWith(QLatin1String("timestamp")))
            continue;
        const QStringList parts = line.split(QLatin1Char(';'));
        if (parts.size() < 4)
            continue;
        bool okX = false, okY = false;
        const double x = parts[2].toDouble(&okX);
        const double y = parts[3].toDouble(&okY);
        if (okX && okY && std::isfinite(x) && std::isfinite(y))
            points.append(QPointF(x, y));
    }
    return points;
}

} // namespace

class TestRunParser : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_fileNo = 0;

    QString writeFile(const QByteArray &content)
    {
        return testsupport::writeFile(m_dir.filePath(QStringLiteral("run%1.csv").arg(++m_fileNo)), content);
    }

    // Parses `content` from a file and from memory; both must agree with
    // each other and with the reference reading.
    records::RunParseResult parse(const QByteArray &content)
    {
        const QString path = writeFile(content);
        records::RunParseResult r = records::parseRunFile(path);
        const records::RunParseResult m = records::parseRunBytes(content);
        if (r.status != records::RunParseResult::Ok)
            qFatal("parse failed: %s", qPrintable(r.error));
        if (r.points != m.points || r.maxY != m.maxY)
            qFatal("file and memory parse differ");
        if (r.points != referencePoints(path))
            qFatal("parse differs from the reference reading");
        return r;
    }

private slots:
    void runOf120Records()
    {
        QByteArray content;
        const QDateTime start(QDate(2024, 3, 5), QTime(14, 7, 9));
        for (int i = 0; i < 120; ++i) {
            const double y = (i == 77) ? 1013.25 : 990.0 + (i % 10);
            const qint64 ms = (i == 119) ? 119873 : 1000 * i + 3;
            content += records::formatRecordLine(start.addMSecs(ms), start, y).toUtf8();
        }
        const auto r = parse(content);
        QCOMPARE(r.points.size(), 120);
        QCOMPARE(r.points.last(), QPointF(119.873, 990.0 + 9));
        QCOMPARE(r.maxY, 1013.25);
        QCOMPARE(records::truncatedX(r.points.last().x()), 119);
    }

    void noData_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("header only") << QByteArray("timestamp;time;elapsed;pressure\n");
        QTest::newRow("short lines") << QByteArray("a;b;c\n\n;;\n");
        QTest::newRow("words") << QByteArray("date;time;elapsed;pressure\n");
        QTest::newRow("bom only") << QByteArray("\xef\xbb\xbf");
    }
    void noData()
    {
        QFETCH(QByteArray, content);
        const auto r = parse(content);
        QVERIFY(r.points.isEmpty());
        QCOMPARE(r.maxY, 0.0);
    }

    void fifthAndLaterFieldsIgnored()
    {
        const auto r = parse("2024-03-05;14:07:09;1.5;1000;extra;more;1e9\n");
        QCOMPARE(r.points, QList<QPointF>{QPointF(1.5, 1000)});
    }

    void allNegativePressures()
    {
        const auto r = parse("d;t;0.5;-10\nd;t;1.5;-20.25\n");
        QCOMPARE(r.points.size(), 2);
        QCOMPARE(r.maxY, 0.0);
    }

    void dailyFileWithTwoRuns()
    {
        const auto r = parse("d;t;0.5;1000\nd;t;1.5;1001\nd;t;2.5;1002\n"
                             "d;t;0.4;900\nd;t;1.4;901\n");
        QCOMPARE(r.points.size(), 5);
        QCOMPARE(r.points[3], QPointF(0.4, 900));
        QCOMPARE(records::truncatedX(r.points.last().x()), 1);
        QCOMPARE(r.maxY, 1002.0);
    }

    void lastXBelowOne()
    {
        const auto r = parse("d;t;0.731;5\n");
        QCOMPARE(records::truncatedX(r.points.last().x()), 0);
    }

    void lineEndsAndByteOrderMark_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("LF") << QByteArray("d;t;0.5;1000\nd;t;1.5;1013.25\n");
        QTest::newRow("CR LF") << QByteArray("d;t;0.5;1000\r\nd;t;1.5;1013.25\r\n");
        QTest::newRow("BOM") << QByteArray("\xef\xbb\xbf" "d;t;0.5;1000\nd;t;1.5;1013.25\n");
        QTest::newRow("BOM CR LF no final end") << QByteArray("\xef\xbb\xbf" "d;t;0.5;1000\r\nd;t;1.5;1013.25");
        QTest::newRow("no final line end") << QByteArray("d;t;0.5;1000\nd;t;1.5;1013.25");
        QTest::newRow("BOM then header") << QByteArray("\xef\xbb\xbftimestamp;a;b;c\nd;t;0.5;1000\nd;t;1.5;1013.25\n");
    }
    void lineEndsAndByteOrderMark()
    {
        QFETCH(QByteArray, content);
        const auto r = parse(content);
        QCOMPARE(r.points, (QList<QPointF>{QPointF(0.5, 1000), QPointF(1.5, 1013.25)}));
    }

    void fieldsThatAreNotFiniteNumbersAreSkipped()
    {
        const auto r = parse("d;t;1;word\n"
                             "d;t;;1000\n"
                             "d;t;2;\n"
                             "d;t;3;1013,25\n"
                             "d;t;4;nan\n"
                             "d;t;5;inf\n"
                             "d;t;-inf;5\n"
                             "d;t;6;1e999\n"
                             "d;t;7;1000\n");
        QCOMPARE(r.points, QList<QPointF>{QPointF(7, 1000)});
        QCOMPARE(r.maxY, 1000.0);
    }

    void invalidBytesDoNoHarm()
    {
        QByteArray content("\xc3\x28\x00\x80;\xc3;1;2\n", 12);
        content += QByteArray("d;t;\xff" "3;4\n");
        content += QByteArray("\x80\x81;\xc0\xaf;5;6\n");
        const auto r = parse(content);
        QCOMPARE(r.points, (QList<QPointF>{QPointF(1, 2), QPointF(5, 6)}));
    }

    void veryLongLines()
    {
        QByteArray content("d;t;1;10\n");
        // A record whose fifth field runs over several blocks.
        content += "d;t;2;20;" + QByteArray(3 * int(records::kReadBlockSize), 'x') + '\n';
        // A line of junk longer than a block, then more records.
        content += QByteArray(2 * int(records::kReadBlockSize) + 17, 'y') + '\n';
        content += "d;t;3;30\n";
        const QString path = writeFile(content);
        const auto r = records::parseRunFile(path);
        QCOMPARE(r.status, records::RunParseResult::Ok);
        QCOMPARE(r.points, (QList<QPointF>{QPointF(1, 10), QPointF(2, 20), QPointF(3, 30)}));
        QCOMPARE(r.points, referencePoints(path));
        QCOMPARE(records::parseRunBytes(content).points, r.points);
    }

    void linesAcrossBlockBoundaries()
    {
        QByteArray content;
        int expected = 0;
        for (int i = 0; content.size() < 3 * records::kReadBlockSize + 100; ++i) {
            content += "2024-03-05;14:07:09;" + QByteArray::number(i * 0.001, 'f', 3) + ';'
                       + QByteArray::number(900 + (i % 1000) * 0.25) + (i % 3 ? "\n" : "\r\n");
            ++expected;
        }
        const auto r = parse(content);
        QCOMPARE(r.points.size(), expected);
        QVERIFY(r.points.capacity() <= r.points.size() + r.points.size() / 4 + 1024);
    }

    // Only a regular file is read: a FIFO without a writer, a device that
    // never ends and a link to a good run are refused at once, each with a
    // reason that names the file.
    void onlyRegularFilesAreRead_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("why");
        const QString run = writeFile("d;t;1;2\n");
        const QString link = m_dir.filePath(QStringLiteral("link.csv"));
        QVERIFY(QFile::link(run, link));
        const QString fifo = m_dir.filePath(QStringLiteral("fifo.csv"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QTest::newRow("missing") << m_dir.filePath(QStringLiteral("missing.csv")) << QStringLiteral("No such file");
        QTest::newRow("folder") << m_dir.path() << QStringLiteral("is a folder");
        QTest::newRow("fifo") << fifo << QStringLiteral("is a FIFO");
        QTest::newRow("device") << QStringLiteral("/dev/zero") << QStringLiteral("is a device");
        QTest::newRow("symbolic link") << link << QStringLiteral("is a symbolic link");
    }

    void onlyRegularFilesAreRead()
    {
        QFETCH(QString, path);
        QFETCH(QString, why);
        const auto r = records::parseRunFile(path);
        QCOMPARE(r.status, records::RunParseResult::OpenFailed);
        QVERIFY2(r.error.startsWith(path + QLatin1Char(':')) && r.error.contains(why), qPrintable(r.error));
        QVERIFY(r.points.isEmpty());
    }

    void roundTripFromTheRecordWriter()
    {
        const QString path = m_dir.filePath(QStringLiteral("roundtrip.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Unbuffered));
        QTextStream stream(&file);
        records::RecordAppender appender;
        const QDateTime start(QDate(2024, 3, 5), QTime(14, 7, 9));
        const double values[] = {1013.25, 1000, 12.345678, 0.00001234, 1234567, -50.5, 0};
        QList<QPointF> expected;
        qint64 ms = 0;
        for (double v : values) {
            ms += 997;
            QVERIFY(appender.append(file, stream, records::formatRecordLine(start.addMSecs(ms), start, v)));
            // What the file holds: milliseconds, six significant digits.
            expected.append(QPointF(double(ms) / 1000.0, records::formatPressure(v).toDouble()));
        }
        file.close();
        const auto r = records::parseRunFile(path);
        QCOMPARE(r.points, expected);
        QCOMPARE(r.points[2].y(), 12.3457);
        QCOMPARE(r.maxY, 1234570.0);
    }

    void agreesWithTheReferenceOnGeneratedFiles()
    {
        static const char alphabet[] = "0123456789..;;;;\n\n\r -+eEtimsp,\xff\xc3\xa0\xc2\t";
        QRandomGenerator rng(4242);
        for (int i = 0; i < 1500; ++i) {
            QByteArray content;
            const int len = int(rng.bounded(0, 160));
            for (int k = 0; k < len; ++k)
                content += alphabet[rng.bounded(int(sizeof(alphabet) - 1))];
            if (content.startsWith('\xff'))
                content[0] = '1'; // FF FE would make QTextStream read UTF-16
            const QString path = writeFile(content);
            const auto r = records::parseRunFile(path);
            QVERIFY2(r.points == referencePoints(path), content.toPercentEncoding().constData());
            QCOMPARE(records::parseRunBytes(content).points, r.points);
            QFile::remove(path);
        }
    }

    void truncationHoldsTheIntRange()
    {
        QCOMPARE(records::truncatedX(-3.7), -3);
        QCOMPARE(records::truncatedX(1e300), std::numeric_limits<int>::max());
        QCOMPARE(records::truncatedX(-1e300), std::numeric_limits<int>::min());
    }
};

QTEST_APPLESS_MAIN(TestRunParser)
#include "tst_run_parser.moc"
