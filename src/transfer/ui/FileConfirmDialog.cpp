#include "transfer/ui/FileConfirmDialog.h"

#include "panes/FileTypeInfo.h"
#include "ui/MessageBoxes.h"

#include <QCheckBox>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>

namespace tessaly {

using namespace Qt::StringLiterals;

namespace {

constexpr int kIconSize = 32;
// Names longer than this many average characters are shortened in the middle; the tooltip has them
// whole.
constexpr int kNameWidthChars = 56;

// One block: a file's icon beside its name, size and date.
struct FileBlock {
    QIcon icon;
    QString name;
    QString size;
    QString date;
    const char* objectPrefix; // "local" or "remote": names the value labels
};

QLabel* ValueLabel(const QString& text, const QString& objectName, QWidget* parent, int elideWidth = 0) {
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QString shown = text;
    if (elideWidth > 0) {
        shown = label->fontMetrics().elidedText(text, Qt::ElideMiddle, elideWidth);
        if (shown != text) {
            label->setToolTip(text);
        }
    }
    label->setText(shown);
    return label;
}

QFrame* BlockFrame(const FileBlock& block, QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    auto* grid = new QGridLayout(frame);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);
    auto* icon = new QLabel(frame);
    icon->setObjectName(QString::fromLatin1(block.objectPrefix) + u"Icon"_s);
    icon->setPixmap(block.icon.pixmap(kIconSize, kIconSize));
    icon->setFixedSize(kIconSize, kIconSize);
    grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    const QString prefix = QString::fromLatin1(block.objectPrefix);
    const int nameWidth = frame->fontMetrics().averageCharWidth() * kNameWidthChars;
    const std::array<std::pair<QString, QLabel*>, 3> rows = {{
        {u"File Name: "_s, ValueLabel(block.name, prefix + u"Name"_s, frame, nameWidth)},
        {u"Size: "_s, ValueLabel(block.size, prefix + u"Size"_s, frame)},
        {u"Date: "_s, ValueLabel(block.date, prefix + u"Date"_s, frame)},
    }};
    for (int row = 0; row < int(rows.size()); ++row) {
        grid->addWidget(new QLabel(rows[row].first, frame), row, 1);
        grid->addWidget(rows[row].second, row, 2);
    }
    grid->setColumnStretch(2, 1);
    return frame;
}

QString LastPart(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QIcon LocalIcon(const QString& path) {
    const QIcon icon = QFileIconProvider().icon(QFileInfo(path));
    return icon.isNull() ? FileTypeInfoForName(QFileInfo(path).fileName()).icon : icon;
}

} // namespace

CFileConfirmDialog::CFileConfirmDialog(const ConflictQuestion& question, QWidget* parent, int tickMs)
    : QDialog(parent) {
    setWindowTitle(u"File Confirmation"_s);

    const QString remoteName = QString::fromUtf8(question.remoteName);
    const FileBlock local{LocalIcon(question.localName), question.localName, question.localSize,
                          question.localDate, "local"};
    // Looked up by the name's type alone: the remote file is not here to be looked at.
    const FileBlock remote{FileTypeInfoForName(LastPart(remoteName)).icon, remoteName, question.remoteSize,
                           question.remoteDate, "remote"};

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(u"Destination already exist,details: "_s, this));
    layout->addWidget(BlockFrame(local, this));
    layout->addWidget(BlockFrame(remote, this));
    layout->addSpacing(6);
    layout->addWidget(new QLabel(u"Select Action: "_s, this));

    struct ChoiceButton {
        const char* caption;
        ConflictChoice choice;
    };
    static constexpr std::array<ChoiceButton, 4> kChoices = {{
        {"Overwrite", ConflictChoice::Overwrite},
        {"Resume", ConflictChoice::Resume},
        {"Rename", ConflictChoice::Rename},
        {"Ignore", ConflictChoice::Ignore},
    }};
    const ConflictDefault proposal = DefaultConflictChoice(question);
    auto* buttons = new QHBoxLayout;
    for (const ChoiceButton& entry : kChoices) {
        QPushButton* button = AddChoiceButton(QString::fromLatin1(entry.caption), entry.choice);
        buttons->addWidget(button);
        if (entry.choice == ConflictChoice::Resume) {
            button->setEnabled(proposal.resumeEnabled);
        }
        if (entry.choice == proposal.choice) {
            defaultButton_ = button;
        }
    }
    buttons->addSpacing(12); // Cancel ends the whole job: set apart from the choices for one file
    buttons->addStretch(1);
    auto* cancel = new QPushButton(u"Cancel"_s, this);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &CFileConfirmDialog::reject);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    rememberBox_ = new QCheckBox(u"Remember selection"_s, this);
    layout->addWidget(rememberBox_);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    defaultCaption_ = defaultButton_->text();
    defaultButton_->setDefault(true);
    defaultButton_->setFocus();

    timer_.setInterval(tickMs);
    connect(&timer_, &QTimer::timeout, this, &CFileConfirmDialog::Tick);
}

QPushButton* CFileConfirmDialog::AddChoiceButton(const QString& caption, ConflictChoice choice) {
    auto* button = new QPushButton(caption, this);
    // Wide enough for the countdown's caption from the start, so the row does not move as it counts.
    const QString widest = u"%1 = %2"_s.arg(u"Overwrite"_s).arg(kLastCount);
    button->setMinimumWidth(button->fontMetrics().horizontalAdvance(widest) + 24);
    connect(button, &QPushButton::clicked, this, [this, choice] { Choose(choice); });
    return button;
}

void CFileConfirmDialog::Choose(ConflictChoice choice) {
    timer_.stop();
    answer_ = {false, choice, rememberBox_->isChecked()};
    accept();
}

void CFileConfirmDialog::Tick() {
    if (count_ < kLastCount) {
        ++count_;
        if (count_ > 0) {
            defaultButton_->setText(u"%1 = %2"_s.arg(defaultCaption_).arg(count_));
        }
        return;
    }
    timer_.stop();
    defaultButton_->click();
}

void CFileConfirmDialog::reject() {
    const bool wasRunning = timer_.isActive();
    timer_.stop();
    if (AskYesNo(this, u"This will cancel all transfer task, are sure want to continue?"_s)) {
        answer_ = {};
        QDialog::reject();
        return;
    }
    if (wasRunning && isVisible()) {
        timer_.start();
    }
}

void CFileConfirmDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The countdown runs from the moment the user first sees the question.
    if (!timer_.isActive() && count_ < kLastCount) {
        timer_.start();
    }
    defaultButton_->setFocus();
}

void CFileConfirmDialog::hideEvent(QHideEvent* event) {
    timer_.stop();
    QDialog::hideEvent(event);
}

ConflictAnswer AskFileConflict(QWidget* parent, const ConflictQuestion& question) {
    CFileConfirmDialog dialog(question, parent);
    dialog.exec();
    return dialog.Answer();
}

} // namespace tessaly
