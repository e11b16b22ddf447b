#pragma once

#include "session/SessionEngine.h"
#include "settings/SettingsStore.h"

#include <QString>
#include <optional>

namespace tessaly {

// The four fields of the Quick Connect bar as typed.
struct QuickConnectFields {
    QString host;
    QString user;
    QString password;
    QString port;
};

// What a connection to the typed host starts with, or nothing when the host is empty.
// One "ftp://" prefix (any case) is dropped from a host longer than the prefix; an empty user is
// "anonymous"; the user "anonymous" (exactly) with an empty password gets the "General",
// "AnommousEmail" setting; the port loses its commas and is its leading decimal number (0 when there
// is none or it is no port number at all, which the connection step then reports).
std::optional<SessionEngine::StartRequest> QuickConnectRequest(const QuickConnectFields& fields,
                                                               const SettingsStore& settings);

// The leading decimal number of text after every comma is removed (blanks before it skipped), as a
// port: 0 when there is no number or it is above 65535.
quint16 QuickConnectPort(const QString& text);

} // namespace tessaly
