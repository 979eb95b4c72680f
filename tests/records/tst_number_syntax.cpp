// The number syntax of a run file's third and fourth fields is that of
// QString::toDouble (finite results only): compared case by case and over
// many generated strings.
#include "number_syntax.h"

#include <QtTest>
#include <QRandomGenerator>

#include <cmath>

namespace {

bool qtAccepts(const QByteArray &utf8, double &value)
{
    bool ok = false;
    value = QString::fromUtf8(utf8).toDouble(&ok);
    return ok && std::isfinite(value);
}

bool ourAccepts(const QByteArray &utf8, double &value)
{
    return records::parseFiniteNumber(utf8.constData(), utf8.constData() + utf8.size(), value);
}

} // namespace

class TestNumberSyntax : public QObject
{
    Q_OBJECT

private slots:
    void cases_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<double>("value");
        QTest::newRow("integer") << QByteArray("1013") << true << 1013.0;
        QTest::newRow("fraction") << QByteArray("1013.25") << true << 1013.25;
        QTest::newRow("plus") << QByteArray("+1.5") << true << 1.5;
        QTest::newRow("minus") << QByteArray("-0.5") << true << -0.5;
        QTest::newRow("spaces around") << QByteArray(" \t12.5 \r") << true << 12.5;
        QTest::newRow("no-break space") << QByteArray("\xc2\xa0" "7\xe2\x80\x83") << true << 7.0;
        QTest::newRow("trailing point") << QByteArray("1.") << true << 1.0;
        QTest::newRow("leading point") << QByteArray(".5") << true << 0.5;
        QTest::newRow("exponent") << QByteArray("1.234e-05") << true << 1.234e-05;
        QTest::newRow("exponent upper plus") << QByteArray("1.23457E+06") << true << 1234570.0;
        QTest::newRow("leading zeros") << QByteArray("007") << true << 7.0;
        QTest::newRow("word") << QByteArray("pressure") << false << 0.0;
        QTest::newRow("empty") << QByteArray("") << false << 0.0;
        QTest::newRow("blank") << QByteArray("   ") << false << 0.0;
        QTest::newRow("decimal comma") << QByteArray("1013,25") << false << 0.0;
        QTest::newRow("nan") << QByteArray("nan") << false << 0.0;
        QTest::newRow("inf") << QByteArray("inf") << false << 0.0;
        QTest::newRow("minus inf") << QByteArray("-inf") << false << 0.0;
        QTest::newRow("overflow") << QByteArray("1e400") << false << 0.0;
        QTest::newRow("subnormal") << QByteArray("1e-320") << true << 1e-320;
        QTest::newRow("underflow to zero") << QByteArray("2e-324") << false << 0.0;
        QTest::newRow("zero exponent") << QByteArray("0e-999") << true << 0.0;
        QTest::newRow("two signs") << QByteArray("+-1") << false << 0.0;
        QTest::newRow("sign space") << QByteArray("- 1") << false << 0.0;
        QTest::newRow("point alone") << QByteArray(".") << false << 0.0;
        QTest::newRow("bare exponent") << QByteArray("1e") << false << 0.0;
        QTest::newRow("hex") << QByteArray("0x10") << false << 0.0;
        QTest::newRow("two points") << QByteArray("1.2.3") << false << 0.0;
        QTest::newRow("suffix") << QByteArray("1f") << false << 0.0;
        QTest::newRow("inner space") << QByteArray("1 000") << false << 0.0;
        QTest::newRow("nul") << QByteArray("1\0" "2", 3) << false << 0.0;
        QTest::newRow("invalid utf-8") << QByteArray("\xff" "1") << false << 0.0;
    }
    void cases()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, accepted);
        QFETCH(double, value);
        double ours = 0.0;
        QCOMPARE(ourAccepts(text, ours), accepted);
        if (accepted)
            QCOMPARE(ours, value);
        double qt = 0.0;
        QCOMPARE(qtAccepts(text, qt), accepted);
    }

    void agreesWithToDoubleOnGeneratedStrings()
    {
        static const char alphabet[] = " \t+-.eE0123456789,x";
        QRandomGenerator rng(20261207);
        int accepted = 0;
        for (int i = 0; i < 200000; ++i) {
            QByteArray s;
            const int len = int(rng.bounded(1, 12));
            for (int k = 0; k < len; ++k)
                s += alphabet[rng.bounded(int(sizeof(alphabet) - 1))];
            double qt = 0.0, ours = 0.0;
            const bool q = qtAccepts(s, qt);
            const bool o = ourAccepts(s, ours);
            if (q != o || (q && qt != ours))
                QFAIL(qPrintable(QStringLiteral("differs on [%1]: toDouble %2 %3, ours %4 %5")
                                     .arg(QString::fromLatin1(s)).arg(q).arg(qt).arg(o).arg(ours)));
            accepted += q;
        }
        QVERIFY(accepted > 1000); // the generator does reach valid numbers
    }
};

QTEST_APPLESS_MAIN(TestNumberSyntax)
#include "tst_number_syntax.moc"
