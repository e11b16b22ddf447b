#include "settings/ConfigLocation.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace tessaly {

QString ConfigDirectory() {
    if (QString dir = qEnvironmentVariable("TESSALY_CONFIG_DIR"); !dir.isEmpty()) {
        return dir;
    }
    // The XDG base directory rules ignore a relative XDG_CONFIG_HOME.
    if (const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
        !xdg.isEmpty() && QDir::isAbsolutePath(xdg)) {
        return xdg + u"/tessaly"_s;
    }
    return QDir::homePath() + u"/.config/tessaly"_s;
}

} // namespace tessaly
