// Names of a run's files and the suffix for a name already taken.
#include "run_naming.h"

#include <QtTest>
#include <QFile>
#include <QTemporaryDir>

class TestRunNaming : public QObject
{
    Q_OBJECT

private slots:
    void names()
    {
        const QDateTime t(QDate(2024, 3, 5), QTime(14, 7, 9));
        QCOMPARE(records::runStamp(t), QStringLiteral("2024-03-05_14-07-09"));
        QCOMPARE(records::runStamp(QDateTime(QDate(2024, 3, 5), QTime(23, 1, 2))),
                 QStringLiteral("2024-03-05_23-01-02"));
        QCOMPARE(records::runCsvName(QStringLiteral("2024-03-05_14-07-09")),
                 QStringLiteral("2024-03-05_14-07-09_pressure.csv"));
        QCOMPARE(records::snapshotName(QStringLiteral("2024-03-05_14-07-09")),
                 QStringLiteral("2024-03-05_14-07-09_pressure_graph.png"));
        QCOMPARE(records::snapshotName(QString()), QStringLiteral("_pressure_graph.png"));
        QCOMPARE(records::dailyCsvName(QDate(2024, 3, 5)), QStringLiteral("20240305.csv"));
    }

    void freeNameTakesSuffixes()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QDir dir(tmp.path());
        const QString stamp = QStringLiteral("2024-03-05_14-07-09");
        QCOMPARE(records::freeRunBaseName(stamp, dir), stamp);

        auto touch = [&dir](const QString &base) {
            QFile f(dir.filePath(records::runCsvName(base)));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("x\n");
        };
        touch(stamp);
        QCOMPARE(records::freeRunBaseName(stamp, dir), stamp + QStringLiteral("_2"));
        touch(stamp + QStringLiteral("_2"));
        QCOMPARE(records::freeRunBaseName(stamp, dir), stamp + QStringLiteral("_3"));
        // Only the run CSV decides: a lone snapshot does not take the name.
        QFile png(dir.filePath(records::snapshotName(stamp + QStringLiteral("_3"))));
        QVERIFY(png.open(QIODevice::WriteOnly));
        png.close();
        QCOMPARE(records::freeRunBaseName(stamp, dir), stamp + QStringLiteral("_3"));
        // The earlier files are untouched.
        QFile first(dir.filePath(records::runCsvName(stamp)));
        QVERIFY(first.open(QIODevice::ReadOnly));
        QCOMPARE(first.readAll(), QByteArray("x\n"));
    }

    void danglingSymlinkTakesTheName()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QDir dir(tmp.path());
        const QString stamp = QStringLiteral("2024-03-05_14-07-10");
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")),
                            dir.filePath(records::runCsvName(stamp))));
        QCOMPARE(records::freeRunBaseName(stamp, dir), stamp + QStringLiteral("_2"));
    }
};

QTEST_APPLESS_MAIN(TestRunNaming)
#include "tst_run_naming.moc"
