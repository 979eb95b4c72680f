// The viewer's window: the chart with every run opened, the times to
// pressure beside it and the rate-of-rise test below them; the unit and the
// pressure axis in the View menu; runs followed while they grow (File,
// Follow files); a status line that counts each run's records and its
// readings at or below zero, and says what happened to a followed file.
#pragma once

#include "pressure_chart.h"
#include "pressure_units.h"

#include <QList>
#include <QMainWindow>

QT_BEGIN_NAMESPACE
class QAction;
class QActionGroup;
class QLabel;
QT_END_NAMESPACE

namespace viewer {

class FollowedRun;
class ReachTable;
class RisePanel;

class ViewerWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit ViewerWindow(QWidget *parent = nullptr);

    // Opens and draws a run (the reference run: one at most). False with
    // `error` set when it cannot be read; the window stays as it was.
    bool openRun(const QString &path, bool reference, QString *error);
    // `remember`: kept for the next start (a choice made in the window).
    void setUnit(PressureUnit unit, bool remember);
    void setAxisChoice(AxisChoice choice);
    void setFollowing(bool on);

    PressureChart *chart() const { return m_chart; }
    ReachTable *reachTable() const { return m_reach; }
    RisePanel *risePanel() const { return m_rise; }
    const QList<FollowedRun *> &runs() const { return m_runs; }
    QString summary() const;

private:
    void buildMenus();
    void openClicked(bool reference);
    void exportClicked();
    void updateSummary();
    void runEvent(FollowedRun *run, const QString &text);

    PressureChart *m_chart;
    ReachTable *m_reach;
    RisePanel *m_rise;
    QLabel *m_summary;
    QList<FollowedRun *> m_runs;
    FollowedRun *m_reference = nullptr;
    bool m_following = true;
    QAction *m_followAction = nullptr;
    QActionGroup *m_units = nullptr;
    QActionGroup *m_axes = nullptr;
};

} // namespace viewer
