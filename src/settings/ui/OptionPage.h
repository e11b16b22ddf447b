#pragma once

#include "settings/SettingsStore.h"

#include <QSpinBox>
#include <QString>
#include <QWidget>
#include <functional>
#include <initializer_list>
#include <optional>
#include <vector>

class QAbstractButton;
class QBoxLayout;
class QButtonGroup;
class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;

namespace tessaly {

// A number field of the options: any whole number may be typed, the arrows step within the key's
// range, and the range is checked when the sheet reads the page (a hand-edited value outside it is
// shown as it is, and refused only then).
class COptionNumberBox : public QSpinBox {
    Q_OBJECT
public:
    COptionNumberBox(const SettingKey& key, QWidget* parent = nullptr);

    const SettingKey& Key() const { return key_; }
    // The number typed, when the text is one.
    std::optional<int> Number() const;
    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;

private:
    const SettingKey& key_;
};

// What keeps a page from being stored: the field to put the focus on and what to tell the user.
struct OptionFault {
    QWidget* field;
    QString message;
};

// One page of the options sheet. Each of its fields is bound to one key of the settings table, from
// which it takes its default and its range: loading shows the stored values, checking finds the first
// field that cannot be stored, saving gives every key of the page with the text to store. A field's
// object name is its key; a radio button's, its key followed by the value it stores.
class COptionPage : public QWidget {
    Q_OBJECT
public:
    explicit COptionPage(QString caption, QWidget* parent = nullptr);

    const QString& Caption() const { return caption_; }
    void Load(const SettingsStore& settings);
    std::optional<OptionFault> Check() const;
    void Save(std::vector<SettingsStore::Write>& out) const;
    // The keys the page stores, in its order.
    std::vector<const SettingKey*> Keys() const;

protected:
    struct Binding {
        const SettingKey* key;
        std::function<void(const SettingsStore&)> load;
        std::function<QString()> value;
        std::function<std::optional<OptionFault>()> check; // none: any value can be stored
    };
    void Bind(Binding binding);

    // The bound fields. A check box and a switch store 1 when on and 0 when off.
    QCheckBox* NewCheck(const QString& label, const SettingKey& key);
    COptionNumberBox* NewNumber(const SettingKey& key);
    QLineEdit* NewText(const SettingKey& key);
    // Radio buttons, each storing its value; shown gives the value whose button a stored one checks
    // (none checked when no button has it).
    struct Choice {
        const char16_t* label;
        int value;
    };
    QButtonGroup* NewChoice(const SettingKey& key, std::initializer_list<Choice> choices,
                            std::function<int(const SettingsStore&)> shown);

    // Number fields with their labels in a grid, each label at (row, column) and its field beside it;
    // the fields belong to the grid's widget.
    struct NumberCell {
        const char16_t* label;
        const SettingKey* key;
        int row;
        int column;
    };
    void AddNumbers(QGridLayout* grid, std::initializer_list<NumberCell> cells);
    // The group's buttons in the layout, in their order, then a stretch.
    static void AddButtons(QBoxLayout* layout, const QButtonGroup* group);
    // A label for the field (its buddy, for the label's mnemonic).
    static QLabel* NewLabel(const QString& text, QWidget* field);
    // The group follows the switch: enabled while it is checked (the switch itself stays enabled).
    static void EnableWith(QAbstractButton* toggle, QWidget* group);
    // Checks the button of the value, or leaves every button unchecked when none has it.
    static void CheckChoice(QButtonGroup* group, int value);

private:
    QString caption_;
    std::vector<Binding> bindings_;
};

} // namespace tessaly
