// tessaly: the desktop program. One process drives one FTP connection; a second connection is had
// by starting a second process ("New window").
#include "settings/ConfigLocation.h"
#include "settings/SettingsStore.h"
#include "ui/Icons.h"
#include "ui/MainFrame.h"

#include <QApplication>

using namespace tessaly;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaly Client"));
    QApplication::setApplicationVersion(QStringLiteral(TESSALY_VERSION));
    QApplication::setWindowIcon(ProgramIcon());

    SettingsStore settings(ConfigDirectory() + u'/' + QString::fromUtf16(kSettingsFileName));
    CMainFrame frame(std::move(settings));
    frame.setWindowTitle(QString::fromUtf16(CMainFrame::kTitle));
    frame.showMaximized();
    return QApplication::exec();
}
