#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

class QHeaderView;
class QMimeData;

namespace tessaly::test {

// Saves a picture of the widget as <name>.png in the build tree's screenshots folder; returns the
// file's path, or an empty string when it could not be written.
QString SaveScreenshot(QWidget& widget, const QString& name);

// Runs handle on the next modal dialog or message box to open (the one QApplication reports as the
// active modal widget), from inside its own event loop. Call before the code that opens it. A dialog
// that has not opened within timeoutMs is left alone and the handler is dropped.
void HandleNextModal(std::function<void(QWidget*)> handle, int timeoutMs = 5000);

// What a modal dialog says: a message box's text, or the texts of a dialog's labels one per line;
// for tests that only need to know which question was asked.
QString ModalText(QWidget* modal);

// Drags mime into the widget (a list's viewport) and drops it at its centre, through the events a
// drag delivers: enter, move, drop. True when every one of them was accepted with the copy action.
bool DropOn(QWidget& target, const QMimeData& mime, Qt::DropActions actions = Qt::CopyAction);

// Answers modal dialogs in turn, while it lives: each step waits for the active modal widget
// captioned title (the same dialog may come back under another caption) and acts on it.
class ModalScript {
public:
    struct Step {
        QString title;
        std::function<void(QWidget*)> act;
    };
    explicit ModalScript(std::vector<Step> steps);
    // How many steps have acted.
    std::size_t Done() const { return next_; }

private:
    void Poll();

    std::vector<Step> steps_;
    std::size_t next_ = 0;
    QTimer timer_;
};

// Clicks the middle of a column's section in a list's header.
void ClickHeader(QHeaderView& header, int column);

} // namespace tessaly::test
