// The table of times to pressure: one row per level (editable, in the unit
// shown), one column per run with the time it first reached the level
// (reach_times.h), and, with a reference run, the difference of each run
// to it; "not reached" where a run never got there.
#pragma once

#include "pressure_units.h"

#include <QList>
#include <QPointer>
#include <QTableWidget>

namespace viewer {

class FollowedRun;

inline const QList<double> kDefaultLevelsMbar{100.0, 10.0, 1.0, 0.1};

class ReachTable : public QTableWidget
{
    Q_OBJECT

public:
    explicit ReachTable(QWidget *parent = nullptr);

    void addRun(FollowedRun *run, const QString &label, bool reference);
    void setLevels(const QList<double> &mbar);
    QList<double> levels() const { return m_levels; }
    void setUnit(PressureUnit unit);
    // Adds a level a decade below the lowest; removes the selected rows.
    void addLevel();
    void removeSelectedLevels();

public slots:
    // Computes the times again (the runs grew, or were read again).
    void refresh();

signals:
    void levelsEdited(const QList<double> &mbar);

private:
    struct Column
    {
        QPointer<FollowedRun> run;
        QString label;
    };

    void rebuild();
    void levelEdited(QTableWidgetItem *item);

    QList<Column> m_runs;
    Column m_reference;
    QList<double> m_levels = kDefaultLevelsMbar;
    PressureUnit m_unit = PressureUnit::Mbar;
    bool m_filling = false;
};

} // namespace viewer
