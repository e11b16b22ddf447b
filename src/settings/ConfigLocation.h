#pragma once

#include <QString>

namespace tessaly {

// The per-user directory of the settings file and the site store: $TESSALY_CONFIG_DIR when set and
// not empty, else $XDG_CONFIG_HOME/tessaly, else ~/.config/tessaly. Not created here.
QString ConfigDirectory();

// The name of the settings file shared by the desktop program and tessaly-cli.
inline constexpr char16_t kSettingsFileName[] = u"tessaly.INI";

} // namespace tessaly
