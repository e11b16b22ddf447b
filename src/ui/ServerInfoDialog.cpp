#include "ui/ServerInfoDialog.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessaly {

using namespace Qt::StringLiterals;

namespace {

// The server's bytes as text: invalid UTF-8 shows as replacement characters, every CR LF, LF or
// lone CR as one line break, and the breaks that end the message are dropped.
QString MessageText(const QByteArray& bytes) {
    QString text = QString::fromUtf8(bytes);
    text.replace(u"\r\n"_s, u"\n"_s);
    text.replace(u'\r', u'\n');
    while (text.endsWith(u'\n')) {
        text.chop(1);
    }
    return text;
}

} // namespace

ServerInfoDialog::ServerInfoDialog(const QList<QByteArray>& messages, QWidget* parent) : QDialog(parent) {
    setWindowTitle(u"Server Information"_s);
    for (const QByteArray& message : messages) {
        messages_.append(MessageText(message));
    }

    auto* label = new QLabel(u"FTP Server Information: "_s, this);
    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    // Banners are often drawn in ASCII: keep the columns and do not wrap them.
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    const QFontMetrics metrics(text_->font());
    text_->setMinimumSize(metrics.horizontalAdvance(QString(82, u'M')), metrics.lineSpacing() * 16);
    label->setBuddy(text_);

    backButton_ = new QPushButton(u"&Back"_s, this);
    nextButton_ = new QPushButton(u"&Next"_s, this);
    auto* okButton = new QPushButton(u"&OK"_s, this);
    backButton_->setAutoDefault(false);
    nextButton_->setAutoDefault(false);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(backButton_, &QPushButton::clicked, this, [this] { ShowMessage(current_ - 1); });
    connect(nextButton_, &QPushButton::clicked, this, [this] { ShowMessage(current_ + 1); });
    // Stepping on the left, closing on the right.
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(backButton_);
    buttons->addWidget(nextButton_);
    buttons->addStretch(1);
    buttons->addWidget(okButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(text_, 1);
    layout->addLayout(buttons);

    const bool stepping = messages_.size() > 1;
    backButton_->setVisible(stepping);
    nextButton_->setVisible(stepping);
    ShowMessage(0);
    okButton->setFocus();
}

void ServerInfoDialog::ShowMessage(int index) {
    if (index < 0 || index >= messages_.size()) {
        return;
    }
    current_ = index;
    text_->setPlainText(messages_.at(index));
    backButton_->setEnabled(index > 0);
    nextButton_->setEnabled(index + 1 < messages_.size());
}

} // namespace tessaly
