#include "sites/QuickConnect.h"

#include "settings/SettingKeys.h"

namespace tessaly {

namespace {

constexpr QStringView kFtpPrefix = u"ftp://";
constexpr QStringView kAnonymous = u"anonymous";

} // namespace

quint16 QuickConnectPort(const QString& text) {
    quint32 value = 0;
    bool leading = true; // blanks before the number are skipped, as a decimal reading does
    for (const QChar c : text) {
        if (c == u',' || (leading && c.isSpace())) {
            continue;
        }
        leading = false;
        if (c < u'0' || c > u'9') {
            break;
        }
        value = value * 10 + static_cast<quint32>(c.unicode() - u'0');
        if (value > 65535) {
            return 0;
        }
    }
    return static_cast<quint16>(value);
}

std::optional<SessionEngine::StartRequest> QuickConnectRequest(const QuickConnectFields& fields,
                                                               const SettingsStore& settings) {
    if (fields.host.isEmpty()) {
        return std::nullopt;
    }
    QStringView host = fields.host;
    if (host.size() > kFtpPrefix.size() && host.startsWith(kFtpPrefix, Qt::CaseInsensitive)) {
        host = host.sliced(kFtpPrefix.size());
    }
    SessionEngine::StartRequest request;
    request.host = host.toUtf8();
    const QString user = fields.user.isEmpty() ? kAnonymous.toString() : fields.user;
    QString password = fields.password;
    if (user == kAnonymous && password.isEmpty()) {
        password = settings.Text(setting::kAnommousEmail);
    }
    request.userName = user.toUtf8();
    request.password = password.toUtf8();
    request.port = QuickConnectPort(fields.port);
    return request;
}

} // namespace tessaly
