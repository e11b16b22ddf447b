#pragma once

#include "session/SessionEngine.h"
#include "settings/SettingsStore.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace tessaly {

// An address of the form ftp://[user[:password]@]host[:port][/path], as a browser or the desktop's
// URL handler passes it on the command line.
struct FtpUrl {
    QByteArray host;                    // as written (a bracketed IPv6 address without its brackets)
    std::optional<quint16> port;        // 1..65535 when given
    std::optional<QByteArray> user;     // percent-decoded
    std::optional<QByteArray> password; // percent-decoded
    QByteArray path;                    // percent-decoded, from its leading "/"; empty for none or "/"
    friend bool operator==(const FtpUrl&, const FtpUrl&) = default;
};

struct FtpUrlResult {
    std::optional<FtpUrl> url; // empty when the text is refused
    QString error;             // why, in a sentence's fragment ("no host in the address")
};

// Longer addresses are refused before they are looked at.
inline constexpr qsizetype kMaxFtpUrlLength = 2048;

// True when the text starts with "ftp://" in any case.
bool IsFtpUrl(QByteArrayView text);

// Reads an ftp:// address. Refused: text above kMaxFtpUrlLength, another scheme, an empty host, a
// port that is no number from 1 to 65535, a "%" not followed by two hex digits, and a CR, LF or NUL
// byte anywhere, written or percent-encoded (it would end a command line early); the host may hold
// no blank, control character, "%" or "@".
FtpUrlResult ParseFtpUrl(QByteArrayView text);

// What a session to the address starts with: its host, port (21 when none), user ("anonymous" when
// none) and password (for "anonymous" without one, the "General", "AnommousEmail" setting, as the
// Quick Connect bar does), and the path as the start directory.
SessionEngine::StartRequest FtpUrlRequest(const FtpUrl& url, const SettingsStore& settings);

} // namespace tessaly
