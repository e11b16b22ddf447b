#include "settings/ui/OptionPage.h"

#include "ui/MessageBoxes.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <algorithm>
#include <climits>

namespace tessaly {

using namespace Qt::StringLiterals;

namespace {

// The longest text a stored string reads back as.
constexpr int kMaxTextLength = 4095;

QString SwitchText(bool on) {
    return on ? u"1"_s : u"0"_s;
}

} // namespace

COptionNumberBox::COptionNumberBox(const SettingKey& key, QWidget* parent) : QSpinBox(parent), key_(key) {
    setObjectName(key.key.toString());
    // Any whole number can be typed; the key's range is checked when the page is read.
    setRange(INT_MIN, INT_MAX);
    setValue(key.defaultNumber);
    const int digits = int(QString::number(key.high).size());
    setMaximumWidth(fontMetrics().horizontalAdvance(QString(digits + 2, u'0')) + 36);
}

std::optional<int> COptionNumberBox::Number() const {
    bool ok = false;
    const int number = locale().toInt(cleanText(), &ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

void COptionNumberBox::stepBy(int steps) {
    const qint64 from = Number().value_or(key_.defaultNumber);
    setValue(int(std::clamp(from + steps, qint64(key_.low), qint64(key_.high))));
    selectAll();
}

QAbstractSpinBox::StepEnabled COptionNumberBox::stepEnabled() const {
    const int now = Number().value_or(key_.defaultNumber);
    StepEnabled enabled = StepNone;
    if (now < key_.high) {
        enabled |= StepUpEnabled;
    }
    if (now > key_.low) {
        enabled |= StepDownEnabled;
    }
    return enabled;
}

COptionPage::COptionPage(QString caption, QWidget* parent) : QWidget(parent), caption_(std::move(caption)) {
    setObjectName(caption_);
}

void COptionPage::Bind(Binding binding) {
    bindings_.push_back(std::move(binding));
}

void COptionPage::Load(const SettingsStore& settings) {
    for (const Binding& binding : bindings_) {
        binding.load(settings);
    }
}

std::optional<OptionFault> COptionPage::Check() const {
    for (const Binding& binding : bindings_) {
        if (binding.check) {
            if (std::optional<OptionFault> fault = binding.check()) {
                return fault;
            }
        }
    }
    return std::nullopt;
}

void COptionPage::Save(std::vector<SettingsStore::Write>& out) const {
    for (const Binding& binding : bindings_) {
        out.push_back({binding.key->section.toString(), binding.key->key.toString(), binding.value()});
    }
}

std::vector<const SettingKey*> COptionPage::Keys() const {
    std::vector<const SettingKey*> keys;
    for (const Binding& binding : bindings_) {
        keys.push_back(binding.key);
    }
    return keys;
}

QCheckBox* COptionPage::NewCheck(const QString& label, const SettingKey& key) {
    auto* box = new QCheckBox(label, this);
    box->setObjectName(key.key.toString());
    Bind({&key,
          [box, &key](const SettingsStore& settings) { box->setChecked(settings.Number(key) != 0); },
          [box] { return SwitchText(box->isChecked()); },
          {}});
    return box;
}

COptionNumberBox* COptionPage::NewNumber(const SettingKey& key) {
    auto* box = new COptionNumberBox(key, this);
    Bind({&key, [box, &key](const SettingsStore& settings) { box->setValue(settings.Number(key)); },
          [box] { return QString::number(box->Number().value_or(0)); },
          [box, &key]() -> std::optional<OptionFault> {
              const std::optional<int> number = box->Number();
              if (!number) {
                  return OptionFault{box, IntegerMessage()};
              }
              if (*number < key.low || *number > key.high) {
                  return OptionFault{box, IntegerRangeMessage(key.low, key.high)};
              }
              return std::nullopt;
          }});
    return box;
}

QLineEdit* COptionPage::NewText(const SettingKey& key) {
    auto* field = new QLineEdit(this);
    field->setObjectName(key.key.toString());
    field->setMaxLength(kMaxTextLength);
    Bind({&key,
          [field, &key](const SettingsStore& settings) { field->setText(settings.Text(key)); },
          [field] { return field->text(); },
          {}});
    return field;
}

QButtonGroup* COptionPage::NewChoice(const SettingKey& key, std::initializer_list<Choice> choices,
                                     std::function<int(const SettingsStore&)> shown) {
    auto* group = new QButtonGroup(this);
    for (const Choice& choice : choices) {
        auto* button = new QRadioButton(QString::fromUtf16(choice.label), this);
        button->setObjectName(key.key.toString() + QString::number(choice.value));
        group->addButton(button, choice.value);
    }
    Bind({&key,
          [group, shown = std::move(shown)](const SettingsStore& settings) {
              CheckChoice(group, shown(settings));
          },
          [group] { return QString::number(group->checkedId()); },
          {}});
    return group;
}

void COptionPage::AddNumbers(QGridLayout* grid, std::initializer_list<NumberCell> cells) {
    for (const NumberCell& cell : cells) {
        COptionNumberBox* box = NewNumber(*cell.key);
        grid->addWidget(NewLabel(QString::fromUtf16(cell.label), box), cell.row, cell.column);
        grid->addWidget(box, cell.row, cell.column + 1);
    }
}

void COptionPage::AddButtons(QBoxLayout* layout, const QButtonGroup* group) {
    for (QAbstractButton* button : group->buttons()) {
        layout->addWidget(button);
    }
    layout->addStretch(1);
}

QLabel* COptionPage::NewLabel(const QString& text, QWidget* field) {
    auto* label = new QLabel(text, field->parentWidget());
    label->setBuddy(field);
    return label;
}

void COptionPage::EnableWith(QAbstractButton* toggle, QWidget* group) {
    group->setEnabled(toggle->isChecked());
    connect(toggle, &QAbstractButton::toggled, group, &QWidget::setEnabled);
}

void COptionPage::CheckChoice(QButtonGroup* group, int value) {
    if (QAbstractButton* button = group->button(value)) {
        button->setChecked(true);
        return;
    }
    // An exclusive group keeps one button checked: it lets go only while it is not exclusive.
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons()) {
        button->setChecked(false);
    }
    group->setExclusive(true);
}

} // namespace tessaly
