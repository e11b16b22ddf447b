#pragma once

#include <QDialog>
#include <QString>

namespace tessaly {

// "About Tessaly Client": the program's icon, name and version, its web page and support address
// (opened with the desktop's handlers), and the software it is built with.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    // QCoreApplication::applicationVersion(), or "0.1.0" when the program has not set one.
    static QString VersionText();
};

} // namespace tessaly
