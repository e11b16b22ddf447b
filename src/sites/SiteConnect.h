#pragma once

#include "session/SessionEngine.h"
#include "settings/SettingsStore.h"
#include "sites/SiteProfile.h"

#include <QString>
#include <optional>

namespace tessaly {

// What a connection to a saved site starts with, or why it cannot start.
struct SiteConnectResult {
    std::optional<SessionEngine::StartRequest> request;
    QString error; // a sentence naming the site and what is wrong with it
};

// The site's address, user name, password, port and remote path (the start directory; empty: the
// login directory). An anonymous site (user name "anonymous" in any case) with an empty password gets
// the "General", "AnommousEmail" setting. Refused: an empty address, a port outside 1..65535 (never
// cut to 16 bits), and an address, user name, password or remote path holding a CR, LF or NUL byte,
// which would end a command line early.
SiteConnectResult SiteConnectRequest(const SiteProfile& site, const SettingsStore& settings);

} // namespace tessaly
