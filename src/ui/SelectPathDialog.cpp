#include "ui/SelectPathDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessaly {

CSelectPathDialog::CSelectPathDialog(const QList<QByteArray>& paths, int current, QWidget* parent)
    : QDialog(parent), combo_(new QComboBox(this)) {
    setWindowTitle(QStringLiteral("Select Path"));

    combo_->setEditable(true);
    combo_->setInsertPolicy(QComboBox::NoInsert);
    combo_->setMinimumContentsLength(40);
    combo_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    for (const QByteArray& path : paths) {
        combo_->addItem(QString::fromUtf8(path), path);
    }
    combo_->setCurrentIndex(current < combo_->count() ? current : -1);

    auto* label = new QLabel(QStringLiteral("Directory: "), this);
    label->setBuddy(combo_);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(combo_, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(combo_, &QComboBox::editTextChanged, this, &CSelectPathDialog::UpdateOk);
    UpdateOk();
    combo_->setFocus();
    combo_->lineEdit()->selectAll();
}

QByteArray CSelectPathDialog::SelectedPath() const {
    const QString text = combo_->currentText();
    const int index = combo_->currentIndex();
    if (index >= 0 && combo_->itemText(index) == text) {
        return combo_->itemData(index).toByteArray();
    }
    return text.toUtf8();
}

void CSelectPathDialog::UpdateOk() {
    ok_->setEnabled(!combo_->currentText().isEmpty());
}

} // namespace tessaly
