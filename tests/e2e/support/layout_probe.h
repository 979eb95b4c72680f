// A second copy of the tool's window, built in the test process on the same X
// display, used as a ruler and a reference: it gives where each named widget is
// for given label texts (the rows re-lay out as texts change) and how a label
// with a given text looks, so that the real window's pixels can be checked.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

#include <memory>

class MainWindow;

namespace e2e {

class LayoutProbe {
public:
    LayoutProbe();
    ~LayoutProbe();

    // Shows the probe window with its top-left corner at `pos`.
    void show(QPoint pos);
    // Gives the three labels these texts (a null string leaves one as it is) and lays out again.
    void setTexts(const QString &pressure, const QString &status, const QString &logging);

    QRect rectOf(const QString &objectName) const;   // in window coordinates
    QPoint centreOf(const QString &objectName) const;
    QRect chartViewRect() const;
    QImage image() const;                             // the whole window as drawn now
    QImage image(const QRect &part) const;            // that part of it, at its place in a window-sized image
    int adapterIndex(const QString &name) const;
    MainWindow &window() { return *window_; }

private:
    std::unique_ptr<MainWindow> window_;
};

}  // namespace e2e
