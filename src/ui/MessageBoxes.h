#pragma once

#include <QString>
#include <QWidget>

namespace tessaly {

// The program's own message boxes, all captioned "Tessaly Client".

// A question with Yes and No, No being the default button (and what Escape answers); true for Yes.
bool AskYesNo(QWidget* parent, const QString& text);
// Something could not be done at all: a critical icon and OK.
void ShowStopMessage(QWidget* parent, const QString& text);
// Something went wrong that the user should know of: a warning icon and OK.
void ShowWarning(QWidget* parent, const QString& text);

// The texts that refuse a number field's entry: one that is not a whole number, and one outside low..high.
QString IntegerMessage();
QString IntegerRangeMessage(int low, int high);

} // namespace tessaly
