#include "panes/OutputView.h"

#include "settings/SettingKeys.h"
#include "ui/CommandIds.h"
#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QFocusEvent>
#include <QMenu>
#include <QSaveFile>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

namespace tessaly {

using namespace Qt::StringLiterals;

namespace {

constexpr int kLogPointSize = 8;

// Every line break of a log text as one "\n": the engine's CR LF, a bare LF and a stray CR alike.
QString WithPlainLineBreaks(const QString& text) {
    if (!text.contains(u'\r')) {
        return text;
    }
    QString plain = text;
    plain.replace(u"\r\n"_s, u"\n"_s);
    plain.replace(u'\r', u'\n');
    return plain;
}

} // namespace

bool SaveLogText(const QString& path, const QString& text, QString* error) {
    // A log holds user names, paths and server replies: it is readable by its owner only, whatever
    // the umask or the file it replaces allowed. The temporary file gets its mode before the first
    // byte goes in (QSaveFile copies the old file's mode when it opens), and it takes the file's
    // place with that mode.
    QSaveFile file(path);
    const QByteArray bytes = text.toUtf8();
    const bool saved = file.open(QIODevice::WriteOnly) &&
                       file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                       file.write(bytes) == bytes.size() && file.commit();
    if (!saved && error != nullptr) {
        *error = file.errorString();
    }
    return saved;
}

COutputView::COutputView(const SettingsStore& settings, QWidget* parent)
    : QPlainTextEdit(parent), settings_(settings) {
    setReadOnly(true);
    // Read-only still lets the user select with the keyboard (shift and the arrows, Ctrl+A, Ctrl+C).
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Nobody undoes a log line; without a history the document does not grow a second copy of it.
    setUndoRedoEnabled(false);
    QFont logFont = QApplication::font();
    logFont.setPointSize(kLogPointSize);
    logFont.setBold(false);
    setFont(logFont);
    document()->setDefaultFont(logFont);
    savePathChooser = [this] { return AskSavePath(); };
}

void COutputView::AppendText(const QColor& colour, const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    const int scrolledTo = bar->value();
    const bool following = followPending_ || scrolledTo >= bar->maximum();

    // A selection that ends at the very end would otherwise stretch over the new text. (Positions, not
    // a copy of the cursor: the copy shares the cursor's state, which the insertion moves.)
    const QTextCursor userCursor = textCursor();
    const int userAnchor = userCursor.anchor();
    const int userPosition = userCursor.position();
    const bool keepUserSelection =
        userCursor.hasSelection() && userCursor.selectionEnd() == document()->characterCount() - 1;

    QTextCursor writer(document());
    writer.movePosition(QTextCursor::End);
    QTextCharFormat colourOnly;
    colourOnly.setForeground(colour);
    writer.mergeCharFormat(colourOnly);
    writer.insertText(WithPlainLineBreaks(text));

    if (keepUserSelection) {
        QTextCursor restored(document());
        restored.setPosition(userAnchor);
        restored.setPosition(userPosition, QTextCursor::KeepAnchor);
        setTextCursor(restored);
    }
    if (following) {
        // Scrolling moves the viewport and lays out what comes into view, which costs more than the
        // insertion itself: a burst of lines scrolls once, when the event loop turns again.
        followFrom_ = bar->value();
        if (!followPending_) {
            followPending_ = true;
            QMetaObject::invokeMethod(this, &COutputView::FollowNewestLine, Qt::QueuedConnection);
        }
    } else if (bar->value() != scrolledTo) {
        bar->setValue(scrolledTo);
    }
    document()->setModified(false);
}

void COutputView::FollowNewestLine() {
    followPending_ = false;
    QScrollBar* bar = verticalScrollBar();
    // The user may have scrolled away before the loop came round; then the view stays where it is.
    if (bar->value() == followFrom_) {
        bar->setValue(bar->maximum());
    }
}

bool COutputView::IsAllSelected() const {
    const QTextCursor cursor = textCursor();
    return cursor.selectionStart() == 0 && cursor.selectionEnd() >= document()->characterCount() - 1;
}

bool COutputView::HandlesCommand(int id) const {
    return id == cmd::kEditClear || id == cmd::kEditCopy || id == cmd::kLogSave || id == cmd::kSelectAll;
}

bool COutputView::IsCommandEnabled(int id) const {
    const bool hasText = !document()->isEmpty();
    switch (id) {
    case cmd::kEditClear:
    case cmd::kLogSave:
        return hasText;
    case cmd::kEditCopy:
        return textCursor().hasSelection();
    case cmd::kSelectAll:
        return hasText && !IsAllSelected();
    default:
        return false;
    }
}

void COutputView::RunCommand(int id) {
    if (!IsCommandEnabled(id)) {
        return;
    }
    switch (id) {
    case cmd::kEditClear:
        ClearLog();
        break;
    case cmd::kEditCopy:
        copy();
        break;
    case cmd::kLogSave:
        SaveLog();
        break;
    case cmd::kSelectAll:
        selectAll();
        break;
    default:
        break;
    }
}

bool COutputView::ClearLog() {
    if (settings_.Number(setting::kPromptOnClearFtpServerlog) != 0 &&
        !AskYesNo(this, u"Are you sure want to clear all ftp commands and status?"_s)) {
        return false;
    }
    clear();
    document()->setModified(false);
    return true;
}

bool COutputView::SaveLog() {
    const QString path = savePathChooser ? savePathChooser() : AskSavePath();
    if (path.isEmpty()) {
        return false;
    }
    QString error;
    if (!SaveLogText(path, toPlainText(), &error)) {
        ShowWarning(
            this, u"The log could not be saved to \"%1\":\n%2"_s.arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    return true;
}

QString COutputView::AskSavePath() {
    QFileDialog dialog(this, u"Save"_s);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({u"Log file (*.log)"_s, u"Text file (*.txt)"_s});
    dialog.setDefaultSuffix(u"log"_s);
    // A name typed without an ending gets the one of the chosen file type.
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(filter.contains(u"*.txt"_s) ? u"txt"_s : u"log"_s);
    });
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.constFirst();
}

void COutputView::focusInEvent(QFocusEvent* event) {
    QPlainTextEdit::focusInEvent(event);
    emit focusGained();
}

void COutputView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    const auto addItem = [this, &menu](const QString& text, int id) {
        QAction* action = menu.addAction(text);
        action->setData(id);
        action->setEnabled(IsCommandEnabled(id));
    };
    addItem(u"&Copy"_s, cmd::kEditCopy);
    addItem(u"Cl&ear"_s, cmd::kEditClear);
    addItem(u"&Save"_s, cmd::kLogSave);
    menu.addSeparator();
    addItem(u"Select &All"_s, cmd::kSelectAll);
    // The command runs after the menu has closed, so a question it asks is not nested in the menu.
    if (QAction* chosen = menu.exec(event->globalPos())) {
        RunCommand(chosen->data().toInt());
    }
    event->accept();
}

} // namespace tessaly
