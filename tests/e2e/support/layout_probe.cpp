#include "layout_probe.h"

#include "mainwindow.h"

#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QTest>

namespace e2e {

LayoutProbe::LayoutProbe() : window_(std::make_unique<MainWindow>()) {}

LayoutProbe::~LayoutProbe() = default;

void LayoutProbe::show(QPoint pos)
{
    window_->move(pos);
    window_->show();
    if (!QTest::qWaitForWindowExposed(window_.get()))
        qWarning("the reference window was not exposed");
}

void LayoutProbe::setTexts(const QString &pressure, const QString &status, const QString &logging)
{
    const std::pair<const char *, QString> texts[] = {
            {"pressureLabel", pressure}, {"statusLabel", status}, {"loggingStatusLabel", logging}};
    for (const auto &t : texts)
        if (!t.second.isNull())
            window_->findChild<QLabel *>(t.first)->setText(t.second);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    if (window_->centralWidget() && window_->centralWidget()->layout())
        window_->centralWidget()->layout()->activate();
    QCoreApplication::processEvents();
}

QRect LayoutProbe::rectOf(const QString &objectName) const
{
    const QWidget *w = window_->findChild<QWidget *>(objectName);
    if (!w)
        return QRect();
    return QRect(w->mapTo(window_.get(), QPoint(0, 0)), w->size());
}

QPoint LayoutProbe::centreOf(const QString &objectName) const { return rectOf(objectName).center(); }

QRect LayoutProbe::chartViewRect() const
{
    const QChartView *v = window_->findChild<QChartView *>();
    return v ? QRect(v->mapTo(window_.get(), QPoint(0, 0)), v->size()) : QRect();
}

QImage LayoutProbe::image() const { return window_->grab().toImage().convertToFormat(QImage::Format_RGB32); }

QImage LayoutProbe::image(const QRect &part) const
{
    QImage whole(window_->size(), QImage::Format_RGB32);
    whole.fill(Qt::black);
    QPainter p(&whole);
    p.drawImage(part.topLeft(), window_->grab(part).toImage().convertToFormat(QImage::Format_RGB32));
    p.end();
    return whole;
}

int LayoutProbe::adapterIndex(const QString &name) const
{
    return window_->findChild<QComboBox *>("adapterComboBox")->findData(name, Qt::UserRole);
}

}  // namespace e2e
