// Process-wide state shared by the window's actions and its destructor.
// One instance of each for the whole process; only the GUI thread touches it.
#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QTextStream>

// Log files: exist before main() runs, with no file name at first.
extern QFile runFile;
extern QFile dailyFile;

// Bound to the two files for the whole process; defined after the files in
// the same translation unit, so they end before the files do.
extern QTextStream runStream;
extern QTextStream dailyStream;

extern QString runBaseName;     // "yyyy-MM-dd_hh-mm-ss" of the last Start Logging
extern QDateTime runStartTime;  // origin of the elapsed-time field

extern bool connected;
extern bool loggingEnabled;
extern int tickCount;
extern int invalidCount;
