// The rate-of-rise test in the window: the run, its span (entered, or picked
// on the chart), the chamber's volume, and the result, which follows the run
// while it grows; the fit is drawn on the chart, the result copied as text or
// saved as the chart's PNG with a JSON of the numbers beside it.
#pragma once

#include "pressure_units.h"
#include "rate_of_rise.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <optional>

QT_BEGIN_NAMESPACE
class QComboBox;
class QDoubleSpinBox;
class QPlainTextEdit;
class QPushButton;
QT_END_NAMESPACE

namespace viewer {

class FollowedRun;
class PressureChart;

class RisePanel : public QWidget
{
    Q_OBJECT

public:
    explicit RisePanel(PressureChart *chart, QWidget *parent = nullptr);

    void addRun(FollowedRun *run, const QString &label);
    // Fills in the span and runs the test.
    void setSpan(double from, double to);
    void setVolume(double litres);
    double volume() const;
    void setUnit(PressureUnit unit);

    const std::optional<RiseTest> &result() const { return m_result; }
    QString resultText() const;
    QString runPath() const;
    // The chart's PNG at `png` and the numbers at jsonBeside(png).
    bool save(const QString &png, QString *error);

signals:
    void volumeChanged(double litres);

public slots:
    void runTest();

private:
    FollowedRun *currentRun() const;
    void saveClicked();

    PressureChart *m_chart;
    QList<QPointer<FollowedRun>> m_runs;
    QComboBox *m_run;
    QDoubleSpinBox *m_from;
    QDoubleSpinBox *m_to;
    QDoubleSpinBox *m_volume;
    QPushButton *m_pick;
    QPushButton *m_copy;
    QPushButton *m_save;
    QPlainTextEdit *m_text;
    PressureUnit m_unit = PressureUnit::Mbar;
    std::optional<RiseTest> m_result;
};

} // namespace viewer
