// The window as built: widget tree, texts, chart objects, adapter list, the
// tick timer and shutdown.
#include "window_fixture.h"

#include <QBoxLayout>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtTest>

using namespace testsupport;

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetAppState(); }

    void titleAndTopLevel();
    void widgetTreeOrderClassesAndTexts();
    void sizePoliciesAndMenuBar();
    void chartObjects();
    void chartViewPlacement();
    void adapterItems();
    void noAdapters();
    void dailyFileNamedNotOpened();
    void timerRunsEvery10ms();
    void ticksBeforeConnectTouchNothing();
    void destructorDisconnectsAndClosesFiles();
    void destructorWithoutConnectStillDisconnects();
    void exitButtonEndsLoopWithZero();
    void closingWindowEndsLoopWithZero();
};

void TestMainWindow::titleAndTopLevel()
{
    auto w = quietWindow();
    QCOMPARE(w->windowTitle(), QStringLiteral("MainWindow"));
    QCOMPARE(w->size(), QSize(800, 600));
}

namespace {

struct Expected {
    const char *className;
    const char *text;  // nullptr: no text to check
};

QString textOf(QWidget *w)
{
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *b = qobject_cast<QPushButton *>(w))
        return b->text();
    return QString();
}

}  // namespace

// What the operator sees: three rows of four widgets, left to right, with
// their start-up texts, and the chart below them.
void TestMainWindow::widgetTreeOrderClassesAndTexts()
{
    auto w = quietWindow();
    QLayout *column = w->centralWidget()->layout();
    QVERIFY(column);
    QCOMPARE(column->count(), 4);

    const Expected rows[3][4] = {
        {{"QLabel", "Pressure"}, {"QLabel", "---- mbar"}, {"QComboBox", nullptr}, {"QPushButton", "Connect"}},
        {{"QLabel", "Status"}, {"QLabel", "Disconnected"}, {"QPushButton", "Start Logging"},
         {"QPushButton", "Stop Logging"}},
        {{"QLabel", "Logging"}, {"QLabel", "Logging OFF"}, {"QPushButton", "Load Graph"}, {"QPushButton", "Exit"}},
    };
    for (int r = 0; r < 3; ++r) {
        auto *row = qobject_cast<QHBoxLayout *>(column->itemAt(r)->layout());
        QVERIFY(row);
        QCOMPARE(row->count(), 4);
        for (int c = 0; c < 4; ++c) {
            QWidget *cell = row->itemAt(c)->widget();
            QVERIFY(cell);
            QCOMPARE(QString(cell->metaObject()->className()), QString(rows[r][c].className));
            if (rows[r][c].text)
                QCOMPARE(textOf(cell), QString(rows[r][c].text));
        }
    }
    QCOMPARE(column->itemAt(3)->widget(), w->ui->chartWidget);
    QCOMPARE(w->ui->adapterComboBox->count(), 0);  // no adapters scripted
}

void TestMainWindow::sizePoliciesAndMenuBar()
{
    auto w = quietWindow();
    const QSizePolicy expanding(QSizePolicy::Expanding, QSizePolicy::Expanding);
    QCOMPARE(w->sizePolicy(), expanding);
    QCOMPARE(w->ui->chartWidget->sizePolicy(), expanding);
    QVERIFY(w->menuBar()->actions().isEmpty());
    QVERIFY(w->statusBar()->currentMessage().isEmpty());
}

void TestMainWindow::chartObjects()
{
    auto w = quietWindow();
    QVERIFY(w->chart && w->series && w->axisX && w->axisY && w->chartView);
    QCOMPARE(w->chart->title(), QStringLiteral("Pressure over time"));
    QVERIFY(!w->chart->legend()->isVisible());
    QCOMPARE(w->chart->series().size(), 1);
    QCOMPARE(w->chart->series().first(), static_cast<QAbstractSeries *>(w->series));
    QCOMPARE(w->series->count(), 0);
    QCOMPARE(w->sampleIndex, 0);

    QCOMPARE(w->axisX->titleText(), QStringLiteral("Time (s)"));
    QCOMPARE(w->axisX->min(), 0.0);
    QCOMPARE(w->axisX->max(), 60.0);
    QCOMPARE(w->axisY->titleText(), QStringLiteral("Pressure (mbar)"));
    QCOMPARE(w->axisY->min(), 0.0);
    QCOMPARE(w->axisY->max(), 1200.0);
    QCOMPARE(w->axisX->alignment(), Qt::AlignBottom);
    QCOMPARE(w->axisY->alignment(), Qt::AlignLeft);
    QCOMPARE(w->chart->axes(Qt::Horizontal), QList<QAbstractAxis *>{w->axisX});
    QCOMPARE(w->chart->axes(Qt::Vertical), QList<QAbstractAxis *>{w->axisY});
    const QList<QAbstractAxis *> attached = w->series->attachedAxes();
    QCOMPARE(attached, (QList<QAbstractAxis *>{w->axisX, w->axisY}));
}

void TestMainWindow::chartViewPlacement()
{
    auto w = quietWindow();
    QCOMPARE(w->chartView->chart(), w->chart);
    QVERIFY(w->chartView->renderHints().testFlag(QPainter::Antialiasing));
    QCOMPARE(w->chartView->rubberBand(), QChartView::RectangleRubberBand);
    QCOMPARE(w->chartView->parentWidget(), w->ui->chartWidget);
    auto *layout = qobject_cast<QVBoxLayout *>(w->ui->chartWidget->layout());
    QVERIFY(layout);
    QCOMPARE(layout->contentsMargins(), QMargins(0, 0, 0, 0));
    QCOMPARE(layout->count(), 1);
    QCOMPARE(layout->itemAt(0)->widget(), static_cast<QWidget *>(w->chartView));
    QCOMPARE(layout->stretch(0), 0);
}

void TestMainWindow::adapterItems()
{
    fakelink::setAdapters({{"eth0", "Intel Ethernet"},
                           {"eth1", ""},
                           {"eth2", "USB adapter"},
                           {"eth3", "USB adapter"}});
    auto w = quietWindow();
    QComboBox *box = w->ui->adapterComboBox;
    QCOMPARE(box->count(), 4);
    const char *texts[] = {"Intel Ethernet", "", "USB adapter", "USB adapter"};
    const char *names[] = {"eth0", "eth1", "eth2", "eth3"};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(box->itemText(i), QString(texts[i]));
        const QVariant data = box->itemData(i, Qt::UserRole);
        QCOMPARE(data.typeId(), QMetaType::QString);
        QCOMPARE(data.toString(), QString(names[i]));
        QVERIFY(box->itemIcon(i).isNull());
    }
    QCOMPARE(box->currentIndex(), 0);  // the first appended item is current
    QCOMPARE(fakelink::findAdaptersCount(), 1);
    QCOMPARE(fakelink::freeAdaptersCount(), 1);
    QVERIFY(fakelink::freedHeadOfList());
    QCOMPARE(fakelink::connectCount(), 0);  // nothing touches the bus before Connect
}

void TestMainWindow::noAdapters()
{
    auto w = quietWindow();
    QCOMPARE(w->ui->adapterComboBox->count(), 0);
    QCOMPARE(w->ui->adapterComboBox->currentIndex(), -1);
    // The empty list is released too.
    QCOMPARE(fakelink::freeAdaptersCount(), 1);
    QVERIFY(fakelink::freedHeadOfList());
}

void TestMainWindow::dailyFileNamedNotOpened()
{
    const QDate before = QDate::currentDate();
    auto w = quietWindow();
    const QDate after = QDate::currentDate();
    const QString name = dailyFile.fileName();
    QVERIFY2(name == before.toString("yyyyMMdd") + ".csv" || name == after.toString("yyyyMMdd") + ".csv",
             qPrintable(name));
    QVERIFY(!dailyFile.isOpen());
    QVERIFY(!runFile.isOpen());
    QCOMPARE(runStream.device(), static_cast<QIODevice *>(&runFile));
    QCOMPARE(dailyStream.device(), static_cast<QIODevice *>(&dailyFile));
}

void TestMainWindow::timerRunsEvery10ms()
{
    MainWindow w;
    const QList<QTimer *> timers = w.findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(timers.size(), 1);
    QCOMPARE(timers.first()->interval(), 10);
    QVERIFY(timers.first()->isActive());
    QVERIFY(!timers.first()->isSingleShot());
    // The timer drives the tick: ticks are counted once the event loop runs.
    QTRY_VERIFY_WITH_TIMEOUT(tickCount >= 3, 5000);
}

void TestMainWindow::ticksBeforeConnectTouchNothing()
{
    fakelink::setAdapters({{"eth0", "Intel Ethernet"}});
    auto w = quietWindow();
    for (int i = 0; i < 250; ++i)
        w->onTimerTick();
    QCOMPARE(tickCount, 250);
    QCOMPARE(fakelink::checkCount(), 250);
    QCOMPARE(fakelink::readCount(), 0);
    QCOMPARE(fakelink::connectCount(), 0);
    QCOMPARE(w->ui->pressureLabel->text(), QStringLiteral("---- mbar"));
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Disconnected"));
    QCOMPARE(w->ui->loggingStatusLabel->text(), QStringLiteral("Logging OFF"));
}

void TestMainWindow::destructorDisconnectsAndClosesFiles()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    fakelink::setAdapters({{"eth0", "Intel Ethernet"}});
    auto w = quietWindow();
    w->ui->connectButton->click();
    QCOMPARE(fakelink::connectCount(), 1);
    QVERIFY(fakelink::linkUp());

    runFile.setFileName(dir.filePath("run.csv"));
    QVERIFY(runFile.open(QIODevice::WriteOnly | QIODevice::Text));
    dailyFile.setFileName(dir.filePath("daily.csv"));
    QVERIFY(dailyFile.open(QIODevice::WriteOnly | QIODevice::Text));
    loggingEnabled = true;
    const QString status = w->ui->statusLabel->text();

    w.reset();
    QCOMPARE(fakelink::disconnectCount(), 1);
    QVERIFY(!fakelink::linkUp());
    QVERIFY(!runFile.isOpen());
    QVERIFY(!dailyFile.isOpen());
    QVERIFY(loggingEnabled);  // the destructor changes no flag
    QCOMPARE(status, QStringLiteral("Connected"));
    QVERIFY(!QFile::exists(dir.filePath("run_pressure_graph.png")));
    QCOMPARE(QDir(dir.path()).entryList(QStringList{"*.png"}, QDir::Files).size(), 0);
}

void TestMainWindow::destructorWithoutConnectStillDisconnects()
{
    {
        auto w = quietWindow();
    }
    QCOMPARE(fakelink::disconnectCount(), 1);
    QCOMPARE(fakelink::connectCount(), 0);
}

void TestMainWindow::exitButtonEndsLoopWithZero()
{
    int rc = -1;
    {
        MainWindow w;
        w.show();
        QTimer::singleShot(50, w.ui->exitButton, &QPushButton::click);
        QTimer guard;  // a loop that does not end fails instead of hanging
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(10000);
        rc = QApplication::exec();
        QVERIFY(tickCount > 0);  // the timer ran while the loop did
    }
    QCOMPARE(rc, 0);
    QCOMPARE(fakelink::disconnectCount(), 1);
}

void TestMainWindow::closingWindowEndsLoopWithZero()
{
    int rc = -1;
    {
        MainWindow w;
        w.show();
        QTimer::singleShot(50, &w, &QWidget::close);
        QTimer guard;  // a loop that does not end fails instead of hanging
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(10000);
        rc = QApplication::exec();
    }
    QCOMPARE(rc, 0);
    QCOMPARE(fakelink::disconnectCount(), 1);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
