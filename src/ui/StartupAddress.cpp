#include "ui/StartupAddress.h"

#include "sites/FtpUrl.h"
#include "ui/MainFrame.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace tessaly {

const char* GuiUsage() {
    return "usage: tessaly [ftp://[USER[:PASSWORD]@]HOST[:PORT][/PATH]]\n"
           "       tessaly --help | --version\n"
           "Opens the Tessaly Client window. With an ftp:// address it connects at once, as the\n"
           "Quick Connect bar does: as USER (anonymous when none) with PASSWORD, to HOST on PORT\n"
           "(21 when none), and opens PATH (the login directory when none). %XX in USER, PASSWORD\n"
           "and PATH stands for the byte XX; an address with a line break or NUL byte is refused.\n"
           "The password in an address can be read by every local user in the process list.\n"
           "Connecting to another server from the command line: tessaly-cli (see tessaly-cli --help).\n";
}

bool ConnectToAddress(CMainFrame& frame, QByteArrayView address, QString* error) {
    const FtpUrlResult url = ParseFtpUrl(address);
    if (!url.url) {
        *error = url.error;
        return false;
    }
    frame.Engine().StartSession(FtpUrlRequest(*url.url, frame.Engine().Settings()));
    return true;
}

QString HelpDirectory() {
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/help");
    if (QFileInfo::exists(beside + QStringLiteral("/index.html"))) {
        return beside;
    }
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/tessaly/help"));
}

} // namespace tessaly
