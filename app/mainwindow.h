#pragma once

#include <QMainWindow>

QT_BEGIN_NAMESPACE
namespace Ui { class MainWindow; }
class QLineSeries;
class QChart;
class QChartView;
class QValueAxis;
QT_END_NAMESPACE

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Actions, run by the connections made in the constructor.
    void onConnectClicked();               // connection_actions.cpp
    void onTimerTick();                    // connection_actions.cpp
    void onStartClicked();                 // logging_actions.cpp
    void onStopClicked();                  // logging_actions.cpp
    void onLoadRunClicked();               // run_loader.cpp
    void loadRun(const QString &path);     // run_loader.cpp: the load once a file is chosen
    void writeLogRecord(double pressureMbar); // record_writer.cpp

    // Widgets and chart objects; public so that the actions' tests can reach them.
    Ui::MainWindow *ui;
    QLineSeries *series;
    QChart *chart;
    QChartView *chartView;
    QValueAxis *axisX;
    QValueAxis *axisY;
    int sampleIndex;
};
