#include "sites/FtpUrl.h"

#include "settings/SettingKeys.h"

#include <algorithm>

namespace tessaly {

namespace {

constexpr QByteArrayView kScheme = "ftp://";

FtpUrlResult Refuse(const char* why) {
    return {std::nullopt, QString::fromLatin1(why)};
}

bool EndsALine(char c) {
    return c == '\r' || c == '\n' || c == '\0';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The bytes with every %XX replaced by the byte it stands for; nothing for a "%" without two hex
// digits or a decoded CR, LF or NUL.
std::optional<QByteArray> PercentDecode(QByteArrayView text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size()) {
                return std::nullopt;
            }
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high < 0 || low < 0) {
                return std::nullopt;
            }
            c = static_cast<char>(high * 16 + low);
            i += 2;
        }
        if (EndsALine(c)) {
            return std::nullopt;
        }
        out.append(c);
    }
    return out;
}

std::optional<quint16> ParsePortText(QByteArrayView text) {
    if (text.isEmpty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const int value = QByteArray(text.data(), text.size()).toInt();
    if (value < 1 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<quint16>(value);
}

bool IsHostByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u > 0x20 && u != 0x7f && c != '%' && c != '@' && c != '[' && c != ']';
}

} // namespace

bool IsFtpUrl(QByteArrayView text) {
    return text.size() >= kScheme.size() &&
           text.first(kScheme.size()).compare(kScheme, Qt::CaseInsensitive) == 0;
}

FtpUrlResult ParseFtpUrl(QByteArrayView text) {
    if (text.size() > kMaxFtpUrlLength) {
        return Refuse("the address is too long");
    }
    if (!IsFtpUrl(text)) {
        return Refuse("the address does not start with ftp://");
    }
    if (std::any_of(text.begin(), text.end(), EndsALine)) {
        return Refuse("the address holds a line break or NUL byte");
    }
    const QByteArrayView rest = text.sliced(kScheme.size());
    const qsizetype slash = rest.indexOf('/');
    const QByteArrayView authority = slash < 0 ? rest : rest.first(slash);
    const QByteArrayView path = slash < 0 ? QByteArrayView() : rest.sliced(slash);

    FtpUrl url;
    QByteArrayView hostPort = authority;
    if (const qsizetype at = authority.lastIndexOf('@'); at >= 0) {
        const QByteArrayView userInfo = authority.first(at);
        hostPort = authority.sliced(at + 1);
        const qsizetype colon = userInfo.indexOf(':');
        url.user = PercentDecode(colon < 0 ? userInfo : userInfo.first(colon));
        if (!url.user) {
            return Refuse("bad user name in the address (a broken %XX, or a line break or NUL byte)");
        }
        if (colon >= 0) {
            url.password = PercentDecode(userInfo.sliced(colon + 1));
            if (!url.password) {
                return Refuse("bad password in the address (a broken %XX, or a line break or NUL byte)");
            }
        }
    }

    QByteArrayView host = hostPort;
    QByteArrayView portText;
    bool hasPort = false;
    if (hostPort.startsWith('[')) {
        // [IPv6 address], then perhaps :port
        const qsizetype close = hostPort.indexOf(']');
        if (close < 0) {
            return Refuse("no closing ] after the IPv6 address");
        }
        host = hostPort.sliced(1, close - 1);
        const QByteArrayView after = hostPort.sliced(close + 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(':')) {
                return Refuse("bad port in the address");
            }
            hasPort = true;
            portText = after.sliced(1);
        }
        if (!std::all_of(host.begin(), host.end(),
                         [](char c) { return HexValue(c) >= 0 || c == ':' || c == '.'; })) {
            return Refuse("bad IPv6 address");
        }
    } else if (const qsizetype colon = hostPort.lastIndexOf(':'); colon >= 0) {
        host = hostPort.first(colon);
        hasPort = true;
        portText = hostPort.sliced(colon + 1);
    }
    if (host.isEmpty()) {
        return Refuse("no host in the address");
    }
    if (!hostPort.startsWith('[') && !std::all_of(host.begin(), host.end(), IsHostByte)) {
        return Refuse("bad host in the address");
    }
    url.host = host.toByteArray();
    if (hasPort) {
        url.port = ParsePortText(portText);
        if (!url.port) {
            return Refuse("bad port in the address (a number from 1 to 65535)");
        }
    }
    if (path.size() > 1) {
        const std::optional<QByteArray> decoded = PercentDecode(path);
        if (!decoded) {
            return Refuse("bad path in the address (a broken %XX, or a line break or NUL byte)");
        }
        url.path = *decoded;
    }
    return {url, {}};
}

SessionEngine::StartRequest FtpUrlRequest(const FtpUrl& url, const SettingsStore& settings) {
    SessionEngine::StartRequest request;
    request.host = url.host;
    request.port = url.port.value_or(21);
    request.userName = url.user && !url.user->isEmpty() ? *url.user : QByteArray("anonymous");
    request.password = url.password.value_or(QByteArray());
    if (request.userName == "anonymous" && request.password.isEmpty()) {
        request.password = settings.Text(setting::kAnommousEmail).toUtf8();
    }
    request.directory = url.path;
    return request;
}

} // namespace tessaly
