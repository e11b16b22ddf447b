#include "ui/GeneralProp.h"

#include "ui/MessageBoxes.h"
#include "ui/OnePageSheet.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace tessaly {

namespace {

using namespace Qt::StringLiterals;

// The nine boxes in the order of the permission text, with the bit each stands for.
struct PermissionBox {
    const char16_t* objectName;
    const char16_t* text;
    int bit;
};

constexpr std::array<PermissionBox, 9> kBoxes = {{
    {u"OwnerRead", u"Read", 0400},
    {u"OwnerWrite", u"Write", 0200},
    {u"OwnerExecute", u"Execute", 0100},
    {u"GroupRead", u"Read", 040},
    {u"GroupWrite", u"Write", 020},
    {u"GroupExecute", u"Execute", 010},
    {u"OtherRead", u"Read", 04},
    {u"OtherWrite", u"Write", 02},
    {u"OtherExecute", u"Execute", 01},
}};

constexpr const char16_t* kClassLabels[] = {u"Owner", u"Group", u"Other"};

// The "All" buttons: the bit each sets in every class (owner's; group and other are shifted).
struct AllButton {
    const char16_t* text;
    int ownerBit;
};
constexpr AllButton kAllButtons[] = {{u"Read All", 0400}, {u"Write All", 0200}, {u"Execute All", 0100}};

// The letter a permission text holds at place (0 to 8) when the bit is set; the execute places
// also take s and t (the bit with set-ID or sticky) and leave it clear for S and T.
bool PlaceIsSet(char letter, int place) {
    switch (place % 3) {
    case 0:
        return letter == 'r';
    case 1:
        return letter == 'w';
    default:
        return letter == 'x' || letter == 's' || letter == 't';
    }
}

// The bits the number's text stands for: every digit an octal one, three at most. -1 otherwise.
int BitsOfNumber(const QString& text) {
    if (text.isEmpty() || text.size() > 3) {
        return -1;
    }
    int bits = 0;
    for (const QChar digit : text) {
        if (digit < u'0' || digit > u'7') {
            return -1;
        }
        bits = bits * 8 + (digit.unicode() - u'0');
    }
    return bits;
}

QString NumberOfBits(int bits) {
    return QString::number(bits, 8).rightJustified(3, u'0');
}

QLineEdit* ReadOnlyField(const QString& text, QWidget* parent) {
    auto* field = new QLineEdit(text, parent);
    field->setReadOnly(true);
    field->setFrame(false);
    field->setCursorPosition(0);
    return field;
}

} // namespace

int ModeFromPermissionText(QByteArrayView text) {
    int mode = 0;
    for (int place = 0; place < 9 && place < text.size(); ++place) {
        if (PlaceIsSet(text[place], place)) {
            mode |= kBoxes[std::size_t(place)].bit;
        }
    }
    return mode;
}

CGeneralProp::CGeneralProp(const RemoteItemFacts& facts, QWidget* parent)
    : QWidget(parent), initialName_(facts.name), initialText_(QString::fromUtf8(facts.name)),
      initialMode_(facts.mode & 0777), editable_(facts.permissionsEditable),
      name_(new QLineEdit(initialText_, this)), number_(new QLineEdit(this)) {
    setObjectName(u"General"_s);
    auto* icon = new QLabel(this);
    if (!facts.icon.isNull()) {
        icon->setPixmap(facts.icon.pixmap(32, 32));
    }
    name_->setObjectName(u"Name"_s);
    auto* heading = new QHBoxLayout;
    heading->addWidget(icon);
    heading->addWidget(name_, 1);

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight);
    form->addRow(u"Type:"_s, ReadOnlyField(facts.type, this));
    form->addRow(u"Location:"_s, ReadOnlyField(facts.location, this));
    form->addRow(u"Size:"_s, ReadOnlyField(facts.size, this));
    auto* modified = new QLabel(facts.modified, this);
    modified->setObjectName(u"Modified"_s);
    modified->setTextFormat(Qt::PlainText);
    form->addRow(u"Modified:"_s, modified);

    auto* properties = new QGroupBox(u"Properties:"_s, this);
    auto* grid = new QGridLayout(properties);
    for (int place = 0; place < 9; ++place) {
        const PermissionBox& entry = kBoxes[std::size_t(place)];
        if (place % 3 == 0) {
            auto* label = new QLabel(QString::fromUtf16(kClassLabels[place / 3]), properties);
            label->setEnabled(editable_);
            grid->addWidget(label, place / 3, 0);
        }
        QCheckBox* box = new QCheckBox(QString::fromUtf16(entry.text), properties);
        box->setObjectName(QString::fromUtf16(entry.objectName));
        box->setEnabled(editable_);
        connect(box, &QCheckBox::toggled, this, &CGeneralProp::OnBoxToggled);
        boxes_[std::size_t(place)] = box;
        grid->addWidget(box, place / 3, 1 + place % 3);
    }
    properties->setEnabled(editable_);

    auto* numberRow = new QHBoxLayout;
    auto* numberLabel = new QLabel(u"Permission:"_s, this);
    number_->setObjectName(u"Permission"_s);
    number_->setValidator(new QRegularExpressionValidator(QRegularExpression(u"-?[0-9]{0,6}"_s), number_));
    number_->setMaximumWidth(number_->fontMetrics().horizontalAdvance(u"0000000"_s) + 12);
    connect(number_, &QLineEdit::textEdited, this, &CGeneralProp::OnNumberEdited);
    numberRow->addWidget(numberLabel);
    numberRow->addWidget(number_);
    numberRow->addStretch(1);
    for (const AllButton& all : kAllButtons) {
        auto* button = new QPushButton(QString::fromUtf16(all.text), this);
        connect(button, &QPushButton::clicked, this, [this, bit = all.ownerBit] { SetAll(bit); });
        button->setVisible(editable_);
        numberRow->addWidget(button);
    }
    numberLabel->setVisible(editable_);
    number_->setVisible(editable_);

    auto* note = new QLabel(u"Set-user-ID, set-group-ID and sticky bits are not kept when the permissions "
                            u"change."_s,
                            this);
    note->setObjectName(u"SpecialBitsNote"_s);
    note->setWordWrap(true);
    note->setVisible(editable_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addLayout(form);
    layout->addWidget(properties);
    layout->addLayout(numberRow);
    layout->addWidget(note);
    layout->addStretch(1);

    ShowBits(initialMode_);
    number_->setText(NumberOfBits(initialMode_));
}

void CGeneralProp::ShowBits(int bits) {
    updating_ = true;
    for (std::size_t place = 0; place < boxes_.size(); ++place) {
        boxes_[place]->setChecked((bits & kBoxes[place].bit) != 0);
    }
    updating_ = false;
}

int CGeneralProp::BitsOfBoxes() const {
    int bits = 0;
    for (std::size_t place = 0; place < boxes_.size(); ++place) {
        if (boxes_[place]->isChecked()) {
            bits |= kBoxes[place].bit;
        }
    }
    return bits;
}

void CGeneralProp::OnBoxToggled() {
    if (!updating_) {
        number_->setText(NumberOfBits(BitsOfBoxes()));
    }
}

void CGeneralProp::SetAll(int ownerBit) {
    ShowBits(BitsOfBoxes() | ownerBit | ownerBit >> 3 | ownerBit >> 6);
    number_->setText(NumberOfBits(BitsOfBoxes()));
}

void CGeneralProp::OnNumberEdited(const QString& text) {
    // The number is read as decimal; its three digits (with leading zeros) are the classes, and a
    // digit 8 or 9 clears its class. Out of range, nothing is set; the text stays as typed until the
    // page is left.
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < 0 || number > 777) {
        ShowBits(0);
        return;
    }
    const QString digits = QString::number(number).rightJustified(3, u'0');
    int bits = 0;
    for (const QChar digit : digits) {
        const int value = digit.unicode() - u'0';
        bits = bits * 8 + (value <= 7 ? value : 0);
    }
    ShowBits(bits);
}

bool CGeneralProp::CanLeave() {
    if (name_->text().isEmpty()) {
        name_->setFocus();
        ShowWarning(this, u"You must input remote file title!"_s);
        return false;
    }
    if (!editable_) {
        return true;
    }
    bool ok = false;
    const int number = number_->text().toInt(&ok);
    if (!ok || number < 0 || number > 777) {
        number_->setFocus();
        number_->selectAll();
        ShowWarning(this, IntegerRangeMessage(0, 777));
        return false;
    }
    if (BitsOfNumber(QString::number(number)) < 0) {
        number_->setFocus();
        number_->selectAll();
        ShowWarning(this, u"Each digit of the permission must be from 0 to 7."_s);
        return false;
    }
    return true;
}

QByteArray CGeneralProp::Name() const {
    const QString text = name_->text();
    return text == initialText_ ? initialName_ : text.toUtf8();
}

int CGeneralProp::Mode() const {
    if (!editable_) {
        return -1;
    }
    const int bits = BitsOfNumber(QString::number(number_->text().toInt()));
    return bits >= 0 ? bits : BitsOfBoxes();
}

int CGeneralProp::InitialMode() const {
    return editable_ ? initialMode_ : -1;
}

CRemotePropertiesSheet::CRemotePropertiesSheet(const RemoteItemFacts& facts, QWidget* parent)
    : QDialog(parent), page_(new CGeneralProp(facts)) {
    setWindowTitle(u"Options"_s);
    BuildOnePageSheet(*this, page_, u"General"_s);
}

void CRemotePropertiesSheet::accept() {
    if (page_->CanLeave()) {
        QDialog::accept();
    }
}

} // namespace tessaly
