#include "session/LogStyle.h"

namespace tessaly {

namespace {

struct LogStyle {
    const char* prefix;
    LogColour colour;
};

constexpr LogStyle kStyles[] = {
    {"COMMAND:>  ", {0, 128, 0}},
    {"STATUS:>  ", {0, 0, 255}},
    {"ERROR:>  ", {255, 0, 0}},
    {"              ", {0, 0, 0}},
};

const LogStyle& StyleOf(LogKind kind) {
    const int index = static_cast<int>(kind) - 1;
    return kStyles[index >= 0 && index < 4 ? index : 3];
}

} // namespace

const char* LogPrefix(LogKind kind) {
    return StyleOf(kind).prefix;
}

LogColour LogColourOf(LogKind kind) {
    return StyleOf(kind).colour;
}

QByteArray FormatLogLine(LogKind kind, const QByteArray& text) {
    if (kind == LogKind::Reply && text.isEmpty()) {
        return QByteArrayLiteral("\r\n");
    }
    return LogPrefix(kind) + text + "\r\n";
}

} // namespace tessaly
