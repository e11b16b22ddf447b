// tessaly: the desktop program. One process drives one FTP connection; a second connection is had
// by starting a second process ("New window").
#include "session/LogStyle.h"
#include "settings/ConfigLocation.h"
#include "settings/SettingsStore.h"
#include "sites/SiteStore.h"
#include "ui/Icons.h"
#include "ui/MainFrame.h"

#include <QApplication>

using namespace tessaly;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
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
    return QApplication::exec();
}
