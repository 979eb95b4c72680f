// Following a growing run file: whatever pieces the bytes arrive in, the
// points are those the run parser takes from the finished file; a
// half-written last line waits for its end; a file that shrinks, is
// replaced or is rewritten is read again; a symbolic link is refused.
#include "record_check.h"
#include "run_files.h"
#include "run_follower.h"
#include "run_parser.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

using records::FollowUpdate;
using records::RunFollower;

namespace {

// The window's records of a falling pressure, 1013.25 mbar at `from` seconds.
QByteArray recordLines(int count, double from = 0.0)
{
    return testsupport::recordLines(testsupport::sampleRun([from](double t) { return 1013.25 / (1.0 + t - from); },
                                                           count, from));
}

bool append(const QString &path, const QByteArray &bytes) { return testsupport::appendToFile(path, bytes); }

} // namespace

class TestRunFollower : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void sameAsTheRunParserWhateverThePieces_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("largestPiece");
        const QByteArray longLine = "2024-03-05;14:07:10;5;" + QByteArray(int(records::kReadBlockSize) + 4096, '7') + '\n';
        QTest::newRow("the window's records") << recordLines(200) << 64;
        QTest::newRow("BOM, header, CR LF") << "\xef\xbb\xbftimestamp;time;elapsed;mbar\r\n" + recordLines(50).replace("\n", "\r\n")
                                           << 7;
        QTest::newRow("lines that are no records")
            << recordLines(20) + "garbage\n;;;\n1;2;x;4\n\n1;2;3;nan\n2024;t;3.5;12;extra\n" + recordLines(20, 100) << 16;
        QTest::newRow("no line end at the end") << recordLines(30) + "2024-03-05;14:08:00;99.000;0.5" << 11;
        QTest::newRow("a line longer than a read block") << recordLines(10) + longLine + recordLines(10, 50) << 300000;
        QTest::newRow("a BOM that arrives byte by byte") << "\xef\xbb\xbf" + recordLines(3) << 1;
    }
    void sameAsTheRunParserWhateverThePieces()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, largestPiece);
        const QString file = testsupport::writeFile(path(QStringLiteral("pieces.csv")), QByteArray());
        RunFollower follower;
        QString error;
        QVERIFY2(follower.open(file, &error), qPrintable(error));
        QRandomGenerator random(5);
        QList<QPointF> followed;
        for (qsizetype at = 0; at < content.size();) {
            const qsizetype piece = std::min<qsizetype>(content.size() - at, 1 + random.bounded(largestPiece));
            QVERIFY(append(file, content.mid(at, piece)));
            at += piece;
            const FollowUpdate update = follower.read();
            QVERIFY2(update.kind == FollowUpdate::Appended || update.kind == FollowUpdate::Unchanged,
                     qPrintable(update.reason));
            followed += update.points;
        }
        QPointF last;
        if (follower.pendingPoint(&last))
            followed.append(last);
        QCOMPARE(follower.offset(), qint64(content.size()));
        const records::RunParseResult parsed = records::parseRunFile(file);
        QVERIFY(!parsed.points.isEmpty());
        QCOMPARE(followed, parsed.points);
    }

    void aHalfWrittenLineWaitsForItsEnd()
    {
        const QString file = testsupport::writeFile(path(QStringLiteral("half.csv")), recordLines(2) + "2024-03-05;14:08:00;7.000;12.3");
        RunFollower follower;
        QString error;
        QVERIFY(follower.open(file, &error));
        QCOMPARE(follower.read().points.size(), 2);
        QPointF pending;
        QVERIFY(follower.pendingPoint(&pending));
        QCOMPARE(pending, QPointF(7.0, 12.3));
        QVERIFY(append(file, "4"));
        QCOMPARE(follower.read().kind, FollowUpdate::Unchanged);
        QVERIFY(append(file, "\n"));
        const FollowUpdate update = follower.read();
        QCOMPARE(update.kind, FollowUpdate::Appended);
        QCOMPARE(update.points, QList<QPointF>{QPointF(7.0, 12.34)});
        QVERIFY(!follower.pendingPoint(&pending));

        // A record that did not fit is taken out again: nothing to read again.
        const qint64 whole = QFileInfo(file).size();
        QVERIFY(append(file, "2024-03-05;14:08:01;8.0"));
        QCOMPARE(follower.read().kind, FollowUpdate::Unchanged);
        QVERIFY(QFile::resize(file, whole));
        QCOMPARE(follower.read().kind, FollowUpdate::Unchanged);
        QVERIFY(!follower.pendingPoint(&pending));
        QVERIFY(append(file, "2024-03-05;14:08:02;9.000;1.5\n"));
        QCOMPARE(follower.read().points, QList<QPointF>{QPointF(9.0, 1.5)});
    }

    void aChangedFileIsReadAgain_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("reason");
        QTest::newRow("cut shorter") << "truncate" << "got shorter";
        QTest::newRow("a new file moved in place") << "rename" << "replaced";
        QTest::newRow("written again from its start") << "rewrite" << "rewritten";
    }
    void aChangedFileIsReadAgain()
    {
        QFETCH(QString, how);
        QFETCH(QString, reason);
        const QString file = testsupport::writeFile(path(QStringLiteral("changed.csv")), recordLines(40));
        RunFollower follower;
        QString error;
        QVERIFY(follower.open(file, &error));
        QCOMPARE(follower.read().points.size(), 40);
        const QByteArray now = how == QLatin1String("truncate") ? recordLines(5) : recordLines(60, 1000);
        if (how == QLatin1String("rename")) {
            const QString moved = testsupport::writeFile(path(QStringLiteral("new.csv")), now);
            QCOMPARE(std::rename(QFile::encodeName(moved).constData(), QFile::encodeName(file).constData()), 0);
        } else {
            testsupport::writeFile(file, now);
        }
        const FollowUpdate update = follower.read();
        QCOMPARE(update.kind, FollowUpdate::Reloaded);
        QVERIFY2(update.reason.contains(reason), qPrintable(update.reason));
        QCOMPARE(update.points, records::parseRunBytes(now).points);
        QVERIFY(append(file, recordLines(1, 5000)));
        QCOMPARE(follower.read().points, QList<QPointF>{QPointF(5000.0, 1013.25)});
    }

    void aSymbolicLinkIsRefused()
    {
        const QString target = testsupport::writeFile(path(QStringLiteral("target.csv")), recordLines(3));
        const QString link = path(QStringLiteral("link.csv"));
        QVERIFY(QFile::link(target, link));
        RunFollower follower;
        QString error;
        QVERIFY(!follower.open(link, &error));
        QVERIFY2(error.contains(QLatin1String("symbolic link")), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestRunFollower)
#include "tst_run_follower.moc"
