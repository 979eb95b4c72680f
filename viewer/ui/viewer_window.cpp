#include "viewer_window.h"

#include "chart_export.h"
#include "followed_run.h"
#include "reach_table.h"
#include "rise_panel.h"
#include "viewer_settings.h"

#include <QAction>
#include <QActionGroup>
#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

namespace viewer {

namespace {

constexpr int kEventShownMs = 15000;
constexpr int kChartMinimumWidth = 400;
constexpr int kChartMinimumHeight = 300;

QString labelOf(const QString &path) { return QFileInfo(path).fileName(); }
// In the table's narrow headers: the name without "_pressure.csv" (the
// window's and the logger's run files) or ".csv".
QString shortLabelOf(const QString &path)
{
    QString name = QFileInfo(path).completeBaseName();
    if (name.endsWith(QLatin1String("_pressure")))
        name.chop(int(qstrlen("_pressure")));
    return name;
}

} // namespace

ViewerWindow::ViewerWindow(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(tr("Pressure viewer"));
    m_chart = new PressureChart;
    m_reach = new ReachTable;
    m_rise = new RisePanel(m_chart);

    auto *reachBox = new QGroupBox(tr("Time to pressure"));
    auto *add = new QPushButton(tr("Add level"));
    auto *remove = new QPushButton(tr("Remove level"));
    auto *reachButtons = new QHBoxLayout;
    reachButtons->addWidget(add);
    reachButtons->addWidget(remove);
    reachButtons->addStretch();
    auto *reachLayout = new QVBoxLayout(reachBox);
    reachLayout->addWidget(m_reach);
    reachLayout->addLayout(reachButtons);
    auto *riseBox = new QGroupBox(tr("Rate-of-rise test"));
    (new QVBoxLayout(riseBox))->addWidget(m_rise);

    auto *side = new QWidget;
    auto *sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(reachBox, 1);
    sideLayout->addWidget(riseBox, 2);
    auto *splitter = new QSplitter;
    splitter->addWidget(m_chart);
    splitter->addWidget(side);
    // The chart takes the most of the width, however wide the tables ask to be.
    m_chart->setMinimumSize(kChartMinimumWidth, kChartMinimumHeight);
    splitter->setStretchFactor(0, 5);
    splitter->setStretchFactor(1, 2);
    splitter->setSizes({5 * kChartMinimumWidth, 2 * kChartMinimumWidth});
    setCentralWidget(splitter);
    m_summary = new QLabel;
    statusBar()->addPermanentWidget(m_summary, 1);

    const ViewerSettings settings = loadSettings();
    if (!settings.levelsMbar.isEmpty())
        m_reach->setLevels(settings.levelsMbar);
    if (settings.volumeLitres > 0.0)
        m_rise->setVolume(settings.volumeLitres);
    connect(add, &QPushButton::clicked, m_reach, &ReachTable::addLevel);
    connect(remove, &QPushButton::clicked, m_reach, &ReachTable::removeSelectedLevels);
    connect(m_reach, &ReachTable::levelsEdited, this, &saveLevels);
    connect(m_rise, &RisePanel::volumeChanged, this, &saveVolume);

    buildMenus();
    setUnit(settings.unit, false);
    updateSummary();
    resize(1280, 760);
}

void ViewerWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&Open run..."), QKeySequence::Open, this, [this] { openClicked(false); });
    file->addAction(tr("Open &reference run..."), this, [this] { openClicked(true); });
    file->addSeparator();
    m_followAction = file->addAction(tr("&Follow files while they grow"));
    m_followAction->setCheckable(true);
    m_followAction->setChecked(m_following);
    connect(m_followAction, &QAction::toggled, this, &ViewerWindow::setFollowing);
    file->addAction(tr("&Export chart as PNG..."), QKeySequence(tr("Ctrl+E")), this, &ViewerWindow::exportClicked);
    file->addSeparator();
    file->addAction(tr("&Quit"), QKeySequence::Quit, this, &QWidget::close);

    QMenu *view = menuBar()->addMenu(tr("&View"));
    QMenu *units = view->addMenu(tr("&Unit"));
    m_units = new QActionGroup(this);
    for (const QString &name : unitNames()) {
        QAction *a = units->addAction(name);
        a->setCheckable(true);
        m_units->addAction(a);
        connect(a, &QAction::triggered, this, [this, name] {
            PressureUnit unit;
            if (parseUnit(name, &unit))
                setUnit(unit, true);
        });
    }
    QMenu *axes = view->addMenu(tr("&Pressure axis"));
    m_axes = new QActionGroup(this);
    const std::pair<QString, AxisChoice> choices[] = {
        {tr("&Automatic (logarithmic over more than two decades)"), AxisChoice::Automatic},
        {tr("&Logarithmic"), AxisChoice::Logarithmic},
        {tr("Li&near"), AxisChoice::Linear}};
    for (const auto &[text, choice] : choices) {
        QAction *a = axes->addAction(text);
        a->setCheckable(true);
        a->setData(int(choice));
        a->setChecked(choice == m_chart->axisChoice());
        m_axes->addAction(a);
        connect(a, &QAction::triggered, this, [this, choice = choice] { setAxisChoice(choice); });
    }
    view->addAction(tr("Show &whole runs"), QKeySequence(Qt::Key_Home), m_chart, &PressureChart::showWhole);
}

bool ViewerWindow::openRun(const QString &path, bool reference, QString *error)
{
    if (reference && m_reference) {
        *error = tr("%1: a reference run is open already (%2)").arg(path, m_reference->path());
        return false;
    }
    auto *run = new FollowedRun(this);
    run->setFollowing(m_following);
    if (!run->open(path, error)) {
        delete run;
        return false;
    }
    const QString label = labelOf(path);
    m_runs.append(run);
    if (reference)
        m_reference = run;
    m_chart->addRun(run, label, reference);
    m_reach->addRun(run, shortLabelOf(path), reference);
    m_rise->addRun(run, reference ? tr("reference: %1").arg(label) : label);
    connect(run, &FollowedRun::appended, this, &ViewerWindow::updateSummary);
    connect(run, &FollowedRun::pendingChanged, this, &ViewerWindow::updateSummary);
    connect(run, &FollowedRun::reloaded, this, [this, run](const QString &why) {
        if (!why.isEmpty())
            runEvent(run, tr("%1 %2: read again from its start").arg(labelOf(run->path()), why));
        updateSummary();
    });
    connect(run, &FollowedRun::failed, this, [this, run](const QString &why) {
        runEvent(run, tr("Could not read on: %1").arg(why));
    });
    updateSummary();
    return true;
}

void ViewerWindow::setUnit(PressureUnit unit, bool remember)
{
    m_chart->setUnit(unit);
    m_reach->setUnit(unit);
    m_rise->setUnit(unit);
    for (QAction *a : m_units->actions())
        a->setChecked(a->text() == unitName(unit));
    if (remember)
        saveUnit(unit);
}

void ViewerWindow::setAxisChoice(AxisChoice choice)
{
    m_chart->setAxisChoice(choice);
    for (QAction *a : m_axes->actions())
        a->setChecked(a->data().toInt() == int(choice));
}

void ViewerWindow::setFollowing(bool on)
{
    m_following = on;
    const QSignalBlocker block(m_followAction);
    m_followAction->setChecked(on);
    for (FollowedRun *run : m_runs)
        run->setFollowing(on);
    updateSummary();
}

QString ViewerWindow::summary() const { return m_summary->text(); }

void ViewerWindow::updateSummary()
{
    QStringList parts;
    for (FollowedRun *run : m_runs) {
        const qsizetype records = run->points().size();
        QString part = records == 1 ? tr("%1: 1 record").arg(labelOf(run->path()))
                                    : tr("%1: %2 records").arg(labelOf(run->path()), QString::number(records));
        if (run->span().atOrBelowZero > 0)
            part += tr(", %1 at or below 0").arg(run->span().atOrBelowZero);
        if (run->pendingBytes() > 0)
            part += tr(", last line waits for its end");
        parts.append(part);
    }
    if (parts.isEmpty())
        parts.append(tr("No run open: File, Open run"));
    else if (m_following)
        parts.append(tr("following"));
    m_summary->setText(parts.join(QStringLiteral("; ")));
}

void ViewerWindow::runEvent(FollowedRun *run, const QString &text)
{
    Q_UNUSED(run);
    statusBar()->showMessage(text, kEventShownMs);
    qWarning().noquote() << "pressure-viewer:" << text;
}

void ViewerWindow::openClicked(bool reference)
{
    const QString title = reference ? tr("Open reference run") : tr("Open run");
    const QStringList paths = reference ? QStringList{QFileDialog::getOpenFileName(
                                              this, title, QString(), tr("CSV files (*.csv);;All files (*)"))}
                                        : QFileDialog::getOpenFileNames(this, title, QString(),
                                                                        tr("CSV files (*.csv);;All files (*)"));
    for (const QString &path : paths) {
        if (path.isEmpty())
            continue;
        QString error;
        if (!openRun(path, reference, &error))
            QMessageBox::warning(this, tr("Could not open the run"), error);
    }
}

void ViewerWindow::exportClicked()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Export chart"), QStringLiteral("pressure.png"),
                                                      tr("PNG images (*.png)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!savePng(grabChart(*m_chart), path, &error))
        QMessageBox::warning(this, tr("Could not export the chart"), error);
}

} // namespace viewer
