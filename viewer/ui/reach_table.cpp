#include "reach_table.h"

#include "followed_run.h"
#include "reach_times.h"

#include <QHeaderView>

#include <algorithm>
#include <cmath>

namespace viewer {

namespace {

QString secondsText(const Reach &reach)
{
    return reach.reached ? QStringLiteral("%1 s").arg(reach.seconds, 0, 'f', 1) : QObject::tr("not reached");
}

QString differenceText(const Reach &run, const Reach &reference)
{
    double seconds = 0.0;
    if (!reachDifference(run, reference, &seconds))
        return QStringLiteral("-");
    return QStringLiteral("%1%2 s").arg(seconds >= 0.0 ? QStringLiteral("+") : QString()).arg(seconds, 0, 'f', 1);
}

QTableWidgetItem *readOnly(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

} // namespace

ReachTable::ReachTable(QWidget *parent) : QTableWidget(parent)
{
    verticalHeader()->hide();
    // The runs' columns share the width; long file names are cut in the middle.
    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    horizontalHeader()->setTextElideMode(Qt::ElideMiddle);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    connect(this, &QTableWidget::itemChanged, this, &ReachTable::levelEdited);
    rebuild();
}

void ReachTable::addRun(FollowedRun *run, const QString &label, bool reference)
{
    if (reference)
        m_reference = Column{run, label};
    else
        m_runs.append(Column{run, label});
    connect(run, &FollowedRun::appended, this, &ReachTable::refresh);
    connect(run, &FollowedRun::reloaded, this, &ReachTable::refresh);
    rebuild();
}

void ReachTable::setLevels(const QList<double> &mbar)
{
    m_levels = mbar;
    rebuild();
}

void ReachTable::setUnit(PressureUnit unit)
{
    m_unit = unit;
    rebuild();
}

void ReachTable::addLevel()
{
    const double lowest = m_levels.isEmpty() ? 1000.0 : *std::min_element(m_levels.cbegin(), m_levels.cend());
    m_levels.append(lowest / 10.0);
    rebuild();
    emit levelsEdited(m_levels);
}

void ReachTable::removeSelectedLevels()
{
    QList<int> rows;
    for (const QModelIndex &index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : rows) {
        if (row < m_levels.size())
            m_levels.removeAt(row);
    }
    rebuild();
    emit levelsEdited(m_levels);
}

void ReachTable::rebuild()
{
    QStringList headers{tr("pressure (%1)").arg(unitName(m_unit))};
    const bool withReference = !m_reference.label.isEmpty();
    if (withReference)
        headers << tr("reference: %1").arg(m_reference.label);
    for (const Column &c : m_runs) {
        headers << c.label;
        if (withReference)
            headers << tr("%1 vs reference").arg(c.label);
    }
    m_filling = true;
    clear();
    setColumnCount(int(headers.size()));
    setHorizontalHeaderLabels(headers);
    horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    for (int c = 1; c < columnCount(); ++c)
        horizontalHeaderItem(c)->setToolTip(headers[c]);
    setRowCount(int(m_levels.size()));
    for (int row = 0; row < m_levels.size(); ++row) {
        auto *level = new QTableWidgetItem(QString::number(fromMbar(m_levels[row], m_unit), 'g', 6));
        level->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        setItem(row, 0, level);
    }
    m_filling = false;
    refresh();
}

void ReachTable::refresh()
{
    const bool withReference = !m_reference.label.isEmpty();
    m_filling = true;
    for (int row = 0; row < m_levels.size(); ++row) {
        const double level = m_levels[row];
        int column = 1;
        Reach reference;
        if (withReference) {
            if (m_reference.run)
                reference = firstReach(m_reference.run->points(), level);
            setItem(row, column++, readOnly(secondsText(reference)));
        }
        for (const Column &c : m_runs) {
            const Reach reach = c.run ? firstReach(c.run->points(), level) : Reach{};
            setItem(row, column++, readOnly(secondsText(reach)));
            if (withReference)
                setItem(row, column++, readOnly(differenceText(reach, reference)));
        }
    }
    m_filling = false;
}

void ReachTable::levelEdited(QTableWidgetItem *item)
{
    if (m_filling || item->column() != 0 || item->row() >= m_levels.size())
        return;
    bool ok = false;
    const double value = item->text().toDouble(&ok);
    if (ok && value > 0.0 && std::isfinite(value)) {
        m_levels[item->row()] = toMbar(value, m_unit);
        emit levelsEdited(m_levels);
    }
    // Shown again as the number it stands for (or as it was, when refused),
    // once the edit that emitted this is over.
    QMetaObject::invokeMethod(this, &ReachTable::rebuild, Qt::QueuedConnection);
}

} // namespace viewer
