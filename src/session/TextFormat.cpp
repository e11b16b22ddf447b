#include "session/TextFormat.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace tessaly {

QByteArray Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    QByteArray out;
    if (length > 0) {
        out.resize(length);
        std::vsnprintf(out.data(), static_cast<size_t>(length) + 1, format, args);
    }
    va_end(args);
    return out;
}

QByteArray LogTimeStamp(const QDateTime& t) {
    const QDate d = t.date();
    const QTime c = t.time();
    return Format("%.4d-%.2d-%.2d %.2d:%.2d:%.2d:%.3d", d.year(), d.month(), d.day(), c.hour(), c.minute(),
                  c.second(), c.msec());
}

QByteArray ConnectTimeStamp(const QDateTime& t) {
    const QDate d = t.date();
    const QTime c = t.time();
    return Format("%.4d-%.2d-%.2d %.2d:%.2d:%.2d", d.year(), d.month(), d.day(), c.hour(), c.minute(),
                  c.second());
}

bool StartsWithNoCase(const QByteArray& text, const char* prefix) {
    const auto length = static_cast<qsizetype>(std::strlen(prefix));
    return text.size() >= length && qstrnicmp(text.constData(), prefix, static_cast<size_t>(length)) == 0;
}

bool EqualsNoCase(const QByteArray& a, const char* b) {
    return qstricmp(a.constData(), b) == 0 && a.size() == static_cast<qsizetype>(std::strlen(b));
}

QByteArray StripFtpScheme(const QByteArray& host) {
    return StartsWithNoCase(host, "ftp://") ? host.mid(6) : host;
}

} // namespace tessaly
