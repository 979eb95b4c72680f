// A logging run that never stops by itself: builds the window in the current
// directory, connects to the adapter named by ECAT_MASTER_IF, starts logging,
// prints "logging" and runs until it is killed. The data-safety test kills it.
#include "mainwindow.h"
#include "netns.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    MainWindow window;
    window.show();
    auto *adapters = window.findChild<QComboBox *>("adapterComboBox");
    auto *status = window.findChild<QLabel *>("statusLabel");
    auto *logging = window.findChild<QLabel *>("loggingStatusLabel");
    auto *connectButton = window.findChild<QPushButton *>("connectButton");
    auto *startButton = window.findChild<QPushButton *>("startButton");
    if (!adapters || !status || !logging || !connectButton || !startButton) {
        std::fprintf(stderr, "logging driver: the window lacks a named widget\n");
        return 2;
    }
    const int index = adapters->findData(testsupport::masterInterface(), Qt::UserRole);
    if (index < 0) {
        std::fprintf(stderr, "logging driver: adapter \"%s\" not listed\n", qPrintable(testsupport::masterInterface()));
        return 2;
    }
    adapters->setCurrentIndex(index);
    connectButton->click();
    if (status->text() != QLatin1String("Connected")) {
        std::fprintf(stderr, "logging driver: status \"%s\" after Connect\n", qPrintable(status->text()));
        return 2;
    }
    startButton->click();
    if (logging->text() != QLatin1String("Logging ON")) {
        std::fprintf(stderr, "logging driver: \"%s\" after Start Logging\n", qPrintable(logging->text()));
        return 2;
    }
    std::printf("logging\n");
    std::fflush(stdout);
    return app.exec();
}
