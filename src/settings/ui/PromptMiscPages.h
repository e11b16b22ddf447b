#pragma once

#include "settings/ui/OptionPage.h"

class QLineEdit;
class QListWidget;

namespace tessaly {

// "Prompt": the seven confirmations, one checkable row each. A double-click flips the check of the
// row under the pointer, else of the selected row, and only beeps when there is neither.
class CPromptProp : public COptionPage {
    Q_OBJECT
public:
    explicit CPromptProp(QWidget* parent = nullptr);

    QListWidget& List() const { return *list_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QListWidget* list_;
};

// "Miscellanea": the viewer program, and the start-up, double-click and name-case choices
//.
class CMiscProp : public COptionPage {
    Q_OBJECT
public:
    explicit CMiscProp(QWidget* parent = nullptr);

    // Opens the chooser of the viewer program; a program chosen goes into the field.
    void ChooseViewer();

private:
    QLineEdit* viewer_;
};

} // namespace tessaly
