#include "ui/MessageBoxes.h"

#include <QMessageBox>

namespace tessaly {

namespace {

QString Caption() {
    return QStringLiteral("Tessaly Client");
}

void ShowWithOk(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, Caption(), text, QMessageBox::Ok, parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

} // namespace

bool AskYesNo(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, Caption(), text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void ShowStopMessage(QWidget* parent, const QString& text) {
    ShowWithOk(parent, QMessageBox::Critical, text);
}

void ShowWarning(QWidget* parent, const QString& text) {
    ShowWithOk(parent, QMessageBox::Warning, text);
}

QString IntegerMessage() {
    return QStringLiteral("Please enter an integer.");
}

QString IntegerRangeMessage(int low, int high) {
    return QStringLiteral("Please enter an integer between %1 and %2.").arg(low).arg(high);
}

} // namespace tessaly
