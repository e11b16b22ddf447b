#pragma once

#include <QString>

class QDialog;
class QWidget;

namespace tessaly {

// Lays out a property sheet of one page: the page on a tab of its own (the tab widget takes the page)
// and OK and Cancel below it, which call the sheet's accept() and reject().
void BuildOnePageSheet(QDialog& sheet, QWidget* page, const QString& tabTitle);

} // namespace tessaly
