#pragma once

#include "session/EngineView.h"

#include <QByteArray>

namespace tessaly {

// The prefix that starts a log line of a kind: "COMMAND:>  ", "STATUS:>  ", "ERROR:>  ", or fourteen
// spaces for reply lines.
const char* LogPrefix(LogKind kind);
// Dark green, blue, red and black.
LogColour LogColourOf(LogKind kind);
// The whole line as the log shows it: prefix, text and CR LF; an empty reply line is CR LF alone.
QByteArray FormatLogLine(LogKind kind, const QByteArray& text);

} // namespace tessaly
