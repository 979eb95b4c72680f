// End to end: the real window code and pressure link against the simulated
// sensor, in the namespace of scripts/netns-run, on the offscreen platform.
#include "appstate.h"
#include "mainwindow.h"
#include "mainwindow_ui.h"
#include "sim_process.h"

#include <adapter_names.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

class TestLiveWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void connectShowsPressureAndReconnects();
    void connectToSimulatorEndFails();

private:
    testsupport::SimProcess sim;
};

void TestLiveWindow::initTestCase()
{
    if (!testsupport::insideNamespace())
        QSKIP(testsupport::kNeedsNamespace);
    QString error;
    QVERIFY2(sim.start({"--pressure", "1013.25"}, &error), qPrintable(error));
}

void TestLiveWindow::connectShowsPressureAndReconnects()
{
    MainWindow w;
    w.show();
    QComboBox *box = w.ui->adapterComboBox;
    // The master's adapters in its order: the namespace's two (and its
    // loopback, with a master that lists every interface).
    const std::vector<ecat::AdapterName> listed = ecat::findAdapters();
    QCOMPARE(box->count(), int(listed.size()));
    for (int i = 0; i < box->count(); ++i)
        QCOMPARE(box->itemData(i, Qt::UserRole).toString(), QString::fromStdString(listed[size_t(i)].name));
    QVERIFY(box->findData(testsupport::simulatorInterface(), Qt::UserRole) >= 0);
    const int index = box->findData(testsupport::masterInterface(), Qt::UserRole);
    QVERIFY(index >= 0);
    box->setCurrentIndex(index);

    w.ui->connectButton->click();
    QCOMPARE(w.ui->statusLabel->text(), QStringLiteral("Connected"));
    QVERIFY(connected);
    QTRY_COMPARE_WITH_TIMEOUT(w.ui->statusLabel->text(), QStringLiteral("Connected, valid pressure"),
                              15000);
    QCOMPARE(w.ui->pressureLabel->text(), QStringLiteral("1013.250 mbar"));

    QVERIFY(sim.command("pressure 987.5").startsWith("ok"));
    QTRY_COMPARE_WITH_TIMEOUT(w.ui->pressureLabel->text(), QStringLiteral("987.500 mbar"), 15000);

    // Invalid readings from now on: the tick reconnects by itself.
    QVERIFY(sim.command("invalid on").startsWith("ok"));
    QTRY_COMPARE_WITH_TIMEOUT(w.ui->statusLabel->text(), QStringLiteral("Reconnected"), 20000);
    QVERIFY(connected);

    QVERIFY(sim.command("invalid off").startsWith("ok"));
    QTRY_COMPARE_WITH_TIMEOUT(w.ui->statusLabel->text(), QStringLiteral("Connected, valid pressure"),
                              20000);
}

void TestLiveWindow::connectToSimulatorEndFails()
{
    // The simulator holds the other end; picking it finds no slave behind it.
    MainWindow w;
    QComboBox *box = w.ui->adapterComboBox;
    const int index = box->findData(testsupport::simulatorInterface(), Qt::UserRole);
    QVERIFY(index >= 0);
    box->setCurrentIndex(index);
    w.ui->connectButton->click();
    QCOMPARE(w.ui->statusLabel->text(), QStringLiteral("Connection failed"));
    QVERIFY(!connected);
}

QTEST_MAIN(TestLiveWindow)
#include "tst_e2e_live_window.moc"
