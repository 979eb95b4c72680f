// The main window: construction, wiring and shutdown. The actions live in
// files of their own beside this one.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "adapter_names.h"
#include "appstate.h"
#include "chart_axes.h"
#include "chart_rendering.h"
#include "durable_file.h"
#include "pressure_link.h"
#include "run_naming.h"
#include "tick_counter.h"

#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QDate>
#include <QLineSeries>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

namespace {

// An adapter's text, in the system's 8-bit encoding.
QString localText(const std::string &bytes)
{
    return QString::fromLocal8Bit(bytes.data(), qsizetype(bytes.size()));
}

}  // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent),
      ui(new Ui::MainWindow),
      series(nullptr),
      chart(nullptr),
      chartView(nullptr),
      axisX(nullptr),
      axisY(nullptr),
      sampleIndex(0)
{
    // The daily log is named after the day the program started; it is only
    // opened when logging starts.
    dailyFile.setFileName(records::dailyCsvName(QDate::currentDate()));

    ui->setupUi(this);

    series = new QLineSeries;
    configureSeriesRendering(series);
    chart = new QChart;
    chart->addSeries(series);
    chart->setTitle(tr("Pressure over time"));
    chart->legend()->hide();

    axisX = new QValueAxis;
    axisX->setTitleText(tr("Time (s)"));
    axisX->setRange(0, chart_axes::kXSpan);
    axisY = new QValueAxis;
    axisY->setTitleText(tr("Pressure (mbar)"));
    axisY->setRange(0, chart_axes::kYMaxAtStart);
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    series->attachAxis(axisX);
    series->attachAxis(axisY);

    chartView = new QChartView(chart);
    chartView->setRenderHint(QPainter::Antialiasing);
    chartView->setRubberBand(QChartView::RectangleRubberBand);

    auto *chartLayout = new QVBoxLayout(ui->chartWidget);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->addWidget(chartView);

    for (const ecat::AdapterName &a : ecat::findAdapters())
        ui->adapterComboBox->addItem(localText(a.desc), localText(a.name));

    connect(ui->connectButton, &QAbstractButton::clicked, this, [this] { onConnectClicked(); });
    connect(ui->exitButton, &QAbstractButton::clicked, QCoreApplication::instance(),
            &QCoreApplication::quit);
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] { onTimerTick(); });
    connect(ui->startButton, &QAbstractButton::clicked, this, [this] { onStartClicked(); });
    connect(ui->stopButton, &QAbstractButton::clicked, this, [this] { onStopClicked(); });
    connect(ui->loadRunButton, &QAbstractButton::clicked, this, [this] { onLoadRunClicked(); });

    timer->start(tick_counter::kTickMs);
}

MainWindow::~MainWindow()
{
    ecat_disconnect();
    // Closed with a sync, so that a window closed while logging leaves its
    // records on the disk and not only in the system's cache.
    if (runFile.isOpen())
        records::closeDurably(runFile);
    if (dailyFile.isOpen())
        records::closeDurably(dailyFile);
    delete ui;
}
