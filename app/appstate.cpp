#include "appstate.h"

// The files first: objects of one translation unit are destroyed in reverse
// order of definition, so the streams bound to them end before they do.
QFile runFile;
QFile dailyFile;

QTextStream dailyStream(&dailyFile);
QTextStream runStream(&runFile);

QString runBaseName;
QDateTime runStartTime;

bool connected = false;
bool loggingEnabled = false;
int tickCount = 0;
int invalidCount = 0;
