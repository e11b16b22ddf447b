#include "ui/FailedCommandsDialog.h"

#include <QColor>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>

namespace tessaly {

using namespace Qt::StringLiterals;

namespace {

constexpr int kDetailsPointSize = 8;
const QColor kCommandColour(0, 128, 0);
const QColor kReplyColour(255, 0, 0);

// The non-empty pieces of text between its CR and LF characters.
QList<QByteArray> LinesOf(const QByteArray& text) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text.at(i) == '\r' || text.at(i) == '\n') {
            if (i > start) {
                lines.append(text.mid(start, i - start));
            }
            start = i + 1;
        }
    }
    return lines;
}

} // namespace

FailedCommandsDialog::FailedCommandsDialog(const std::vector<FailureRecord>& records, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(u"Information"_s);

    auto* icon = new QLabel(this);
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation, nullptr, this).pixmap(iconSize));
    icon->setAlignment(Qt::AlignTop);
    auto* message = new QLabel(u"Some commands execute failed,please see more details."_s, this);
    message->setWordWrap(true);
    message->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    auto* top = new QHBoxLayout;
    top->setSpacing(12);
    top->addWidget(icon);
    top->addWidget(message, 1);

    detailsButton_ = new QPushButton(u"Details>>"_s, this);
    detailsButton_->setCheckable(true);
    detailsButton_->setAutoDefault(false);
    auto* closeButton = new QPushButton(u"&Close"_s, this);
    closeButton->setDefault(true);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(detailsButton_, QDialogButtonBox::ActionRole);
    buttons->addButton(closeButton, QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(detailsButton_, &QPushButton::toggled, this, &FailedCommandsDialog::ShowDetails);

    details_ = new QTextEdit(this);
    details_->setReadOnly(true);
    details_->setLineWrapMode(QTextEdit::NoWrap);
    details_->setMinimumHeight(140);
    FillDetails(records);
    details_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(6);
    layout->addWidget(buttons);
    layout->addWidget(details_, 1);
    setMinimumWidth(420);
}

void FailedCommandsDialog::FillDetails(const std::vector<FailureRecord>& records) {
    QFont font = details_->font();
    font.setPointSize(kDetailsPointSize);
    details_->document()->setDefaultFont(font);

    QTextCursor cursor(details_->document());
    bool firstLine = true;
    for (const FailureRecord& record : records) {
        const bool command = record.kind == FailureRecord::Kind::Command;
        QTextCharFormat format;
        format.setForeground(command ? kCommandColour : kReplyColour);
        format.setFontPointSize(kDetailsPointSize);
        const QString prefix = command ? u"Command:>"_s : QString(9, u' ');
        for (const QByteArray& line : LinesOf(record.text)) {
            if (!firstLine) {
                cursor.insertBlock();
            }
            firstLine = false;
            cursor.insertText(prefix + QString::fromUtf8(line), format);
        }
    }
    details_->moveCursor(QTextCursor::Start);
}

bool FailedCommandsDialog::DetailsShown() const {
    return !details_->isHidden();
}

void FailedCommandsDialog::ShowDetails(bool shown) {
    if (shown == DetailsShown()) {
        return;
    }
    // The dialog grows by the box's height when it opens, and goes back to the height it had when it
    // closes, whatever the user made of it while it was open.
    const int grown = details_->sizeHint().height() + layout()->spacing();
    if (shown) {
        closedHeight_ = height();
    }
    details_->setVisible(shown);
    detailsButton_->setChecked(shown);
    layout()->activate();
    resize(width(), std::max(minimumSizeHint().height(), shown ? closedHeight_ + grown : closedHeight_));
}

} // namespace tessaly
