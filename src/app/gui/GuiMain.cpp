// tessaly: the desktop program. One process drives one FTP connection; a second connection is had
// by starting a second process ("New window").
#include "session/LogStyle.h"
#include "settings/ConfigLocation.h"
#include "settings/SettingsStore.h"
#include "sites/FtpUrl.h"
#include "sites/SiteStore.h"
#include "ui/Icons.h"
#include "ui/MainFrame.h"
#include "ui/StartupAddress.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

using namespace tessaly;

int main(int argc, char** argv) {
    // --help and --version are answered before the window system is reached: they need no display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(GuiUsage(), stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("tessaly " TESSALY_VERSION);
            return 0;
        }
    }
    QApplication app(argc, argv);
    // What Qt's own options leave: at most one ftp:// address.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 2) {
        std::fprintf(stderr, "tessaly: one address at most\n%s", GuiUsage());
        return 64;
    }
    // A refused address is reported before the window opens.
    const QByteArray address = arguments.size() == 2 ? arguments[1].toUtf8() : QByteArray();
    if (const FtpUrlResult url = ParseFtpUrl(address); !address.isEmpty() && !url.url) {
        std::fprintf(stderr, "tessaly: %s\n%s", qPrintable(url.error), GuiUsage());
        return 64;
    }
    QApplication::setApplicationName(QStringLiteral("Tessaly Client"));
    QApplication::setApplicationVersion(QStringLiteral(TESSALY_VERSION));
    QApplication::setWindowIcon(ProgramIcon());

    // The saved sites are loaded once, before the window; the window keeps them.
    SiteStore sites(SiteStore::DefaultFilePath());
    const SiteLoadResult loaded = sites.Load();

    SettingsStore settings(ConfigDirectory() + u'/' + QString::fromUtf16(kSettingsFileName));
    CMainFrame frame(std::move(settings));
    frame.AdoptSiteStore(std::move(sites));
    if (!loaded.message.isEmpty()) {
        frame.AppendLog(FormatLogLine(LogKind::Error, loaded.message.toUtf8()), LogColourOf(LogKind::Error));
    }
    frame.setWindowTitle(QString::fromUtf16(CMainFrame::kTitle));
    frame.showMaximized();
    if (QString error; !address.isEmpty() && !ConnectToAddress(frame, address, &error)) {
        return 64; // refused above already
    }
    return QApplication::exec();
}
