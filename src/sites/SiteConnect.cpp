#include "sites/SiteConnect.h"

#include "session/TextFormat.h"
#include "settings/SettingKeys.h"

#include <array>

using namespace Qt::StringLiterals;

namespace tessaly {

namespace {

// The fields that go into command lines, with the names the refusal gives them.
struct CommandField {
    QByteArray SiteProfile::*text;
    const char16_t* name;
};
constexpr std::array<CommandField, 4> kCommandFields = {{
    {&SiteProfile::address, u"address"},
    {&SiteProfile::userName, u"user name"},
    {&SiteProfile::password, u"password"},
    {&SiteProfile::remotePath, u"remote path"},
}};

constexpr qint32 kLowestPort = 1;
constexpr qint32 kHighestPort = 65535;

} // namespace

SiteConnectResult SiteConnectRequest(const SiteProfile& site, const SettingsStore& settings) {
    const QString label = QString::fromUtf8(site.label);
    if (site.address.isEmpty()) {
        return {std::nullopt, u"The site \"%1\" has no address."_s.arg(label)};
    }
    if (site.port < kLowestPort || site.port > kHighestPort) {
        return {std::nullopt,
                u"The site \"%1\" has port %2, which is not a port number (1 to 65535)."_s.arg(label).arg(
                    site.port)};
    }
    for (const CommandField& field : kCommandFields) {
        if (BreaksCommandLine(site.*field.text)) {
            return {std::nullopt,
                    u"The site \"%1\" cannot be connected to: its %2 holds a line break or a NUL byte."_s.arg(
                        label, QString::fromUtf16(field.name))};
        }
    }
    SessionEngine::StartRequest request;
    request.host = site.address;
    request.userName = site.userName;
    request.password = site.password;
    if (FtpSession::IsAnonymousName(site.userName) && site.password.isEmpty()) {
        request.password = settings.Text(setting::kAnommousEmail).toUtf8();
    }
    request.port = static_cast<quint16>(site.port);
    request.directory = site.remotePath;
    return {request, {}};
}

} // namespace tessaly
