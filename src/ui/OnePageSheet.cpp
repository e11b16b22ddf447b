#include "ui/OnePageSheet.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tessaly {

void BuildOnePageSheet(QDialog& sheet, QWidget* page, const QString& tabTitle) {
    auto* tabs = new QTabWidget(&sheet);
    tabs->addTab(page, tabTitle);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &sheet);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &sheet, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &sheet, &QDialog::reject);
    auto* layout = new QVBoxLayout(&sheet);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
}

} // namespace tessaly
