#include "settings/ui/OptionListEditor.h"

#include "ui/MessageBoxes.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace tessaly {

using namespace Qt::StringLiterals;

COptionListEditor::COptionListEditor(const QString& objectName, RowOf rowOf, QWidget* parent)
    : QWidget(parent), rowOf_(std::move(rowOf)), edit_(new QLineEdit(this)), list_(new QListWidget(this)),
      add_(new QPushButton(u"Add"_s, this)), delete_(new QPushButton(u"Delete"_s, this)) {
    setObjectName(objectName);
    edit_->setObjectName(objectName + u"Edit"_s);
    list_->setObjectName(objectName + u"List"_s);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    // Neither button is the sheet's default: Enter means OK, except in the edit field (see below).
    add_->setAutoDefault(false);
    delete_->setAutoDefault(false);
    add_->setEnabled(false);
    delete_->setEnabled(false);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(edit_, 0, 0);
    grid->addWidget(add_, 0, 1);
    grid->addWidget(list_, 1, 0);
    grid->addWidget(delete_, 1, 1, Qt::AlignTop);
    connect(edit_, &QLineEdit::textChanged, this,
            [this](const QString& text) { add_->setEnabled(!text.isEmpty()); });
    connect(list_, &QListWidget::itemSelectionChanged, this,
            [this] { delete_->setEnabled(!list_->selectedItems().isEmpty()); });
    connect(add_, &QPushButton::clicked, this, &COptionListEditor::OnAdd);
    connect(delete_, &QPushButton::clicked, this, &COptionListEditor::OnDelete);
    // Enter in the field adds the entry instead of closing the sheet with it left out.
    edit_->installEventFilter(this);
}

bool COptionListEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (add_->isEnabled()) {
                OnAdd();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void COptionListEditor::OnAdd() {
    const QString entry = edit_->text();
    if (entry.isEmpty()) {
        return;
    }
    if (entry.contains(u',')) {
        ShowWarning(this, u"\"%1\" holds a comma, which separates the entries of the list; add each "
                          u"entry on its own."_s.arg(entry));
        edit_->setFocus();
        return;
    }
    const QString row = rowOf_(entry);
    if (row.isEmpty()) {
        ShowWarning(this, u"\"%1\" is not an entry the list can hold."_s.arg(entry));
        edit_->setFocus();
        return;
    }
    list_->addItem(row);
    edit_->clear();
    edit_->setFocus();
}

void COptionListEditor::OnDelete() {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    delete list_->takeItem(list_->row(selected.first()));
    list_->clearSelection();
    delete_->setEnabled(false);
}

void COptionListEditor::SetStored(const QString& stored) {
    list_->clear();
    if (stored.isEmpty()) {
        return;
    }
    for (const QString& entry : stored.split(u',')) {
        list_->addItem(rowOf_(entry));
    }
}

QStringList COptionListEditor::Rows() const {
    QStringList rows;
    for (int i = 0; i < list_->count(); ++i) {
        rows.append(list_->item(i)->text());
    }
    return rows;
}

QString COptionListEditor::Stored() const {
    return Rows().join(u',');
}

} // namespace tessaly
