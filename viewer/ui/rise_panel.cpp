#include "rise_panel.h"

#include "chart_export.h"
#include "followed_run.h"
#include "pressure_chart.h"
#include "rise_report.h"

#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace viewer {

namespace {

constexpr double kLongestSeconds = 1e9;
constexpr double kDefaultVolumeLitres = 10.0;

QDoubleSpinBox *secondsBox()
{
    auto *box = new QDoubleSpinBox;
    box->setRange(-kLongestSeconds, kLongestSeconds);
    // As precise as the records' elapsed times, so that the span holds the
    // records it was given.
    box->setDecimals(3);
    box->setSuffix(QStringLiteral(" s"));
    box->setKeyboardTracking(false);
    return box;
}

} // namespace

RisePanel::RisePanel(PressureChart *chart, QWidget *parent) : QWidget(parent), m_chart(chart)
{
    m_run = new QComboBox;
    m_from = secondsBox();
    m_to = secondsBox();
    m_volume = new QDoubleSpinBox;
    m_volume->setRange(0.001, 1e6);
    m_volume->setDecimals(3);
    m_volume->setSuffix(QStringLiteral(" l"));
    m_volume->setValue(kDefaultVolumeLitres);
    m_volume->setKeyboardTracking(false);
    m_pick = new QPushButton(tr("Pick span on chart"));
    m_pick->setCheckable(true);
    m_pick->setToolTip(tr("Drag over the span on the chart, or click its start and its end"));
    m_copy = new QPushButton(tr("Copy result"));
    m_save = new QPushButton(tr("Save PNG + JSON..."));
    m_text = new QPlainTextEdit;
    m_text->setReadOnly(true);
    m_text->setMinimumHeight(m_text->fontMetrics().lineSpacing() * 8);

    auto *form = new QFormLayout;
    form->addRow(tr("Run"), m_run);
    form->addRow(tr("From"), m_from);
    form->addRow(tr("To"), m_to);
    form->addRow(tr("Chamber volume"), m_volume);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_copy);
    buttons->addWidget(m_save);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_pick);
    layout->addWidget(m_text, 1);
    layout->addLayout(buttons);

    const auto changed = [this] { runTest(); };
    connect(m_run, &QComboBox::currentIndexChanged, this, changed);
    connect(m_from, &QDoubleSpinBox::valueChanged, this, changed);
    connect(m_to, &QDoubleSpinBox::valueChanged, this, changed);
    connect(m_volume, &QDoubleSpinBox::valueChanged, this, [this](double litres) {
        runTest();
        emit volumeChanged(litres);
    });
    connect(m_pick, &QPushButton::toggled, m_chart, &PressureChart::setPickingSpan);
    connect(m_chart, &PressureChart::spanPicked, this, [this](double from, double to) {
        m_pick->setChecked(false);
        setSpan(from, to);
    });
    connect(m_copy, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(resultText()); });
    connect(m_save, &QPushButton::clicked, this, &RisePanel::saveClicked);
    runTest();
}

void RisePanel::addRun(FollowedRun *run, const QString &label)
{
    m_runs.append(run);
    m_run->addItem(label);
    connect(run, &FollowedRun::appended, this, [this, run] {
        if (run == currentRun())
            runTest();
    });
    connect(run, &FollowedRun::reloaded, this, [this, run] {
        if (run == currentRun())
            runTest();
    });
}

FollowedRun *RisePanel::currentRun() const
{
    const int i = m_run->currentIndex();
    return i >= 0 && i < m_runs.size() ? m_runs[i].data() : nullptr;
}

void RisePanel::setSpan(double from, double to)
{
    const QSignalBlocker blockFrom(m_from);
    const QSignalBlocker blockTo(m_to);
    m_from->setValue(std::min(from, to));
    m_to->setValue(std::max(from, to));
    runTest();
}

void RisePanel::setVolume(double litres)
{
    // Not a choice made in the window: volumeChanged stays quiet.
    const QSignalBlocker block(m_volume);
    m_volume->setValue(litres);
    runTest();
}

double RisePanel::volume() const { return m_volume->value(); }

void RisePanel::setUnit(PressureUnit unit)
{
    m_unit = unit;
    runTest();
}

QString RisePanel::runPath() const
{
    FollowedRun *run = currentRun();
    return run ? run->path() : QString();
}

void RisePanel::runTest()
{
    FollowedRun *run = currentRun();
    const double from = m_from->value();
    const double to = m_to->value();
    if (!run || !(to > from)) {
        m_result.reset();
        m_chart->clearFit();
        m_chart->clearSpan();
        m_text->setPlainText(tr("Pick the span of the rise on the chart, or enter its start and end."));
    } else {
        m_result = rateOfRise(run->points(), from, to, m_volume->value());
        m_chart->setSpan(from, to);
        m_chart->setFit(*m_result);
        m_text->setPlainText(resultText());
    }
    m_copy->setEnabled(m_result.has_value());
    m_save->setEnabled(m_result.has_value());
}

QString RisePanel::resultText() const
{
    return m_result ? riseText(*m_result, runPath(), m_unit) : QString();
}

bool RisePanel::save(const QString &png, QString *error)
{
    if (!m_result) {
        *error = tr("no test to save: pick a span first");
        return false;
    }
    return savePng(grabChart(*m_chart), png, error) && saveJson(riseJson(*m_result, runPath()), jsonBeside(png), error);
}

void RisePanel::saveClicked()
{
    const QString png = QFileDialog::getSaveFileName(this, tr("Save the test as PNG and JSON"),
                                                     QStringLiteral("rate-of-rise.png"), tr("PNG images (*.png)"));
    if (png.isEmpty())
        return;
    QString error;
    if (!save(png, &error))
        QMessageBox::warning(this, tr("Could not save the test"), error);
}

} // namespace viewer
