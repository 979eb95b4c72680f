// Load Graph: the file dialog, and loadRun's outcomes on the chart.
#include "record_check.h"
#include "window_fixture.h"
#include "record_line.h"

#include <QtTest>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QValueAxis>

using namespace testsupport;

class TestRunLoader : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_oldCwd;
    MainWindow *w = nullptr;
    int m_fileNo = 0;

    QString status() const { return w->ui->statusLabel->text(); }
    QString writeFile(const QByteArray &content)
    {
        return testsupport::writeFile(m_dir.filePath(QStringLiteral("load%1.csv").arg(++m_fileNo)), content);
    }
    void setChart()
    {
        w->series->clear();
        w->series->append(1, 2);
        w->series->append(2, 3);
        w->sampleIndex = 2;
        w->axisX->setRange(0, 60);
        w->axisY->setRange(0, 1200);
    }
    void verifyRanges(double xMax, double yMax)
    {
        QCOMPARE(w->axisX->min(), 0.0);
        QCOMPARE(w->axisX->max(), xMax);
        QCOMPARE(w->axisY->min(), 0.0);
        QCOMPARE(w->axisY->max(), yMax);
    }

private slots:
    void initTestCase()
    {
        m_oldCwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        fakelink::reset();
        w = new MainWindow;
        stopTimers(*w);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
    }
    void cleanupTestCase()
    {
        delete w;
        QDir::setCurrent(m_oldCwd);
    }
    void init() { setChart(); }

    void runOf120Records()
    {
        QByteArray content;
        const QDateTime start(QDate(2024, 3, 5), QTime(14, 7, 9));
        for (int i = 0; i < 120; ++i) {
            const qint64 ms = (i == 119) ? 119873 : 1000 * i + 3;
            const double y = (i == 50) ? 1013.25 : 1000.0 - i;
            content += records::formatRecordLine(start.addMSecs(ms), start, y).toUtf8();
        }
        w->loadRun(writeFile(content));
        QCOMPARE(status(), QStringLiteral("Run loaded"));
        QCOMPARE(w->series->count(), 120);
        QCOMPARE(w->series->at(119), QPointF(119.873, 1000.0 - 119));
        QCOMPARE(w->series->at(0), QPointF(0.003, 1000.0));
        QCOMPARE(w->sampleIndex, 119);
        verifyRanges(119, 1063.25);
    }

    void noValidData_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("header only") << QByteArray("timestamp;time;elapsed;pressure\n");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("words only") << QByteArray("date;time;elapsed;pressure\nd;t;x;y\n");
        QTest::newRow("invalid bytes") << QByteArray("\xff\xfe\xfd;\x80\n\xc0");
    }
    void noValidData()
    {
        QFETCH(QByteArray, content);
        w->loadRun(writeFile(content));
        QCOMPARE(status(), QStringLiteral("No valid data in run"));
        QCOMPARE(w->series->count(), 0);
        QCOMPARE(w->sampleIndex, 2); // unchanged, like the axes
        verifyRanges(60, 1200);
    }

    void variations()
    {
        w->loadRun(writeFile("d;t;0.5;10;x;y\n"));
        QCOMPARE(w->series->points(), QList<QPointF>{QPointF(0.5, 10)});
        verifyRanges(0, 60);

        w->loadRun(writeFile("d;t;1;-10\r\nd;t;2.9;-20\r\n"));
        QCOMPARE(w->series->count(), 2);
        QCOMPARE(w->sampleIndex, 2);
        verifyRanges(2, 50);

        w->loadRun(writeFile("\xef\xbb\xbf" "d;t;0.731;5"));
        QCOMPARE(w->series->count(), 1);
        QCOMPARE(w->sampleIndex, 0);
        verifyRanges(0, 55);

        w->loadRun(writeFile("d;t;0.5;1000\nd;t;300.5;1001\nd;t;0.4;900\nd;t;10.9;nan\nd;t;7.8;901\n"
                             "d;t;8;1013,25\nd;t;;5\n"));
        QCOMPARE(w->series->points(),
                 (QList<QPointF>{QPointF(0.5, 1000), QPointF(300.5, 1001), QPointF(0.4, 900), QPointF(7.8, 901)}));
        QCOMPARE(w->sampleIndex, 7); // the last point, not the largest x
        verifyRanges(7, 1051);
        QCOMPARE(status(), QStringLiteral("Run loaded"));
    }

    void fileThatCannotBeOpened()
    {
        w->ui->statusLabel->setText(QStringLiteral("x"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Could not open run")));
        w->loadRun(m_dir.filePath(QStringLiteral("missing.csv")));
        QCOMPARE(status(), QStringLiteral("Could not open run"));
        QCOMPARE(w->series->count(), 2); // the chart is untouched
        QCOMPARE(w->sampleIndex, 2);
        verifyRanges(60, 1200);
    }

    void liveLoggingContinuesAfterTheLoadedRun()
    {
        w->onStartClicked();
        w->loadRun(writeFile("d;t;0.5;1000\nd;t;10.2;1001\n"));
        QCOMPARE(w->sampleIndex, 10);
        connectLink(*w);
        displayTick(*w);
        QCOMPARE(w->series->count(), 3);
        QCOMPARE(w->series->at(2), QPointF(10, 1013.25));
        QVERIFY(loggingEnabled);
        w->onStopClicked();
    }

    void roundTripThroughTheRecordWriter()
    {
        w->onStartClicked();
        connectLink(*w);
        const float raws[] = {101325.0f, 100000.0f, 1234.5678f, 0.001234f, 123456700.0f};
        for (float raw : raws)
            displayTickWith(*w, fakelink::validReading(raw));
        const QString path = runFile.fileName();
        w->onStopClicked();
        QList<QPointF> expected;
        const QByteArray content = fileBytes(path);
        for (const QByteArray &line : content.split('\n')) {
            if (line.isEmpty())
                continue;
            const QList<QByteArray> f = line.split(';');
            expected.append(QPointF(f[2].toDouble(), f[3].toDouble()));
        }
        QCOMPARE(expected.size(), 5);
        QCOMPARE(expected[0].y(), 1013.25);
        QCOMPARE(expected[2].y(), 12.3457);
        w->loadRun(path);
        QCOMPARE(w->series->points(), expected);
    }

    void fileDialog()
    {
        const QString path = writeFile("d;t;3.5;700\n");
        QString caption;
        QTimer::singleShot(0, this, [&] {
            auto pick = [&](auto &self) -> void {
                auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                if (!dialog) {
                    QTimer::singleShot(20, this, [&, self] { self(self); });
                    return;
                }
                caption = dialog->windowTitle();
                QCOMPARE(dialog->nameFilters(),
                         (QStringList{QStringLiteral("CSV files (*.csv)"), QStringLiteral("All files (*)")}));
                dialog->selectFile(path);
                static_cast<QDialog *>(dialog)->accept();
            };
            pick(pick);
        });
        w->onLoadRunClicked();
        QCOMPARE(caption, QStringLiteral("Load pressure run"));
        QCOMPARE(status(), QStringLiteral("Run loaded"));
        QCOMPARE(w->series->points(), QList<QPointF>{QPointF(3.5, 700)});

        // Cancelled: nothing changes.
        setChart();
        w->ui->statusLabel->setText(QStringLiteral("before"));
        QTimer::singleShot(0, this, [&] {
            auto cancel = [&](auto &self) -> void {
                QWidget *dialog = QApplication::activeModalWidget();
                if (!dialog) {
                    QTimer::singleShot(20, this, [&, self] { self(self); });
                    return;
                }
                static_cast<QDialog *>(dialog)->reject();
            };
            cancel(cancel);
        });
        w->onLoadRunClicked();
        QCOMPARE(status(), QStringLiteral("before"));
        QCOMPARE(w->series->count(), 2);
    }
};

QTEST_MAIN(TestRunLoader)
#include "tst_run_loader.moc"
