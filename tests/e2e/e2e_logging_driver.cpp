// A logging run that never stops by itself: builds the window in the current
// directory, connects to the adapter named by ECAT_MASTER_IF, starts logging,
// prints "logging" and runs until it is killed. The data-safety test kills it.
#include "support/scenario.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    e2e::WindowRig rig;
    QString why;
    if (!rig.build(&why, QDir::currentPath())) {
        std::fprintf(stderr, "logging driver: %s\n", qPrintable(why));
        return 2;
    }
    if (!rig.selectAdapter(testsupport::masterInterface())) {
        std::fprintf(stderr, "logging driver: adapter \"%s\" not listed\n", qPrintable(testsupport::masterInterface()));
        return 2;
    }
    rig.clickConnect();
    if (rig.status() != QLatin1String("Connected")) {
        std::fprintf(stderr, "logging driver: status \"%s\" after Connect\n", qPrintable(rig.status()));
        return 2;
    }
    rig.clickStart();
    if (rig.logging() != QLatin1String("Logging ON")) {
        std::fprintf(stderr, "logging driver: \"%s\" after Start Logging\n", qPrintable(rig.logging()));
        return 2;
    }
    std::printf("logging\n");
    std::fflush(stdout);
    return app.exec();
}
