// The record line, byte for byte.
#include "record_line.h"

#include <QtTest>

class TestRecordLine : public QObject
{
    Q_OBJECT

private slots:
    void pressureField_data()
    {
        QTest::addColumn<double>("mbar");
        QTest::addColumn<QString>("text");
        QTest::newRow("1013.25") << 1013.25 << "1013.25";
        QTest::newRow("1000") << 1000.0 << "1000";
        QTest::newRow("12.345678") << 12.345678 << "12.3457";
        QTest::newRow("0.00001234") << 0.00001234 << "1.234e-05";
        QTest::newRow("1234567") << 1234567.0 << "1.23457e+06";
        QTest::newRow("negative") << -0.5 << "-0.5";
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("999999.5 rounds up") << 999999.5 << "1e+06";
    }
    void pressureField()
    {
        QFETCH(double, mbar);
        QFETCH(QString, text);
        QCOMPARE(records::formatPressure(mbar), text);
    }

    void elapsedField_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("61234 ms") << qint64(61234) << "61.234";
        QTest::newRow("500 ms") << qint64(500) << "0.500";
        QTest::newRow("0 ms") << qint64(0) << "0.000";
        QTest::newRow("one day") << qint64(86400000) << "86400.000";
    }
    void elapsedField()
    {
        QFETCH(qint64, ms);
        QFETCH(QString, text);
        const QDateTime start(QDate(2024, 3, 5), QTime(14, 7, 9, 123));
        QCOMPARE(records::formatElapsed(start, start.addMSecs(ms)), text);
    }

    void wholeLine()
    {
        const QDateTime start(QDate(2024, 3, 5), QTime(14, 7, 9, 0));
        const QDateTime now = start.addMSecs(61234);
        QCOMPARE(records::formatRecordLine(now, start, 1013.25),
                 QStringLiteral("2024-03-05;14:08:10;61.234;1013.25\n"));
    }

    void timeIs24HourAndDateComesFromTheSameReading()
    {
        const QDateTime start(QDate(2024, 12, 31), QTime(23, 59, 59, 600));
        const QDateTime now = start.addMSecs(500); // crosses midnight
        QCOMPARE(records::formatRecordLine(now, start, 1e-7),
                 QStringLiteral("2025-01-01;00:00:00;0.500;1e-07\n"));
        const QDateTime afternoon(QDate(2024, 3, 5), QTime(21, 5, 3));
        QCOMPARE(records::formatRecordLine(afternoon, afternoon, 1000.0),
                 QStringLiteral("2024-03-05;21:05:03;0.000;1000\n"));
    }

    void lineHasFourFieldsAndNoSpaces()
    {
        const QDateTime start = QDateTime::currentDateTime();
        const QString line = records::formatRecordLine(start.addSecs(3), start, 1234567.0);
        QVERIFY(line.endsWith(QLatin1Char('\n')));
        QCOMPARE(line.count(QLatin1Char('\n')), 1);
        QCOMPARE(line.split(QLatin1Char(';')).size(), 4);
        QVERIFY(!line.contains(QLatin1Char(' ')));
        QVERIFY(line.contains(QLatin1String(";3.000;1.23457e+06\n")));
    }
};

QTEST_APPLESS_MAIN(TestRecordLine)
#include "tst_record_line.moc"
