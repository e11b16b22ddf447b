#pragma once

#include <QByteArray>
#include <QDateTime>

namespace tessaly {

// printf-style formatting into bytes; the engine's texts are bytes end to end.
QByteArray Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "%.4d-%.2d-%.2d %.2d:%.2d:%.2d:%.3d": the time stamp carried by many log messages.
QByteArray LogTimeStamp(const QDateTime& localTime);
// "%.4d-%.2d-%.2d %.2d:%.2d:%.2d": the time stamp of the connect line.
QByteArray ConnectTimeStamp(const QDateTime& localTime);

// True when the text starts with the prefix, comparing ASCII letters without regard to case.
bool StartsWithNoCase(const QByteArray& text, const char* prefix);
bool EqualsNoCase(const QByteArray& a, const char* b);

// True when the text holds a CR, LF or NUL byte: sent in a command, it would end the line early.
inline bool BreaksCommandLine(const QByteArray& text) {
    return text.contains('\r') || text.contains('\n') || text.contains('\0');
}

// A host as typed, without a leading "ftp://" in any letter case.
QByteArray StripFtpScheme(const QByteArray& host);

} // namespace tessaly
