// The acquisition rule's texts for Qt programs: the status texts translated
// in the window's context (a program without a translator gets the source
// text), and the debug messages as the window sends them to qDebug.
#pragma once

#include "acquisition_rule.h"

#include <QString>

namespace acquisition {

// A status without fields (LinkIssue has two: use the outcome's).
QString statusText(Status status);
// The outcome's status, LinkIssue's state and working counter filled in.
QString statusText(const Outcome &outcome);

// Sends the message to qDebug, items separated by one space; nothing when
// the message has no title.
void emitDebug(const DebugMessage &message);

} // namespace acquisition
