#pragma once

#include "panes/PaneCommandTarget.h"
#include "settings/SettingsStore.h"

#include <QColor>
#include <QPlainTextEdit>
#include <QString>
#include <functional>

namespace tessaly {

// Writes the log text as UTF-8 to path through a temporary file renamed over it, so a failed write
// leaves an existing file as it was. False with the reason in *error (when given) on failure.
bool SaveLogText(const QString& path, const QString& text, QString* error);

// The log pane: every command, reply and status line of the session, coloured by kind. Read-only;
// the user can copy, select all, clear and save it.
//
// Commands: Clear All (57633), Copy (57634), Save (32771), Select all (57642).
class COutputView : public QPlainTextEdit, public PaneCommandTarget {
    Q_OBJECT
public:
    explicit COutputView(const SettingsStore& settings, QWidget* parent = nullptr);

    // Adds text at the end in the colour, leaving the user's selection and its colours alone, and
    // keeps the newest line in view. The text holds its own line breaks.
    //
    // Each line break ("\r\n", "\n" or a lone "\r") becomes one line break of the pane, so the text
    // "\r\n" alone is a blank line. The view follows the new text only while it was scrolled to the
    // bottom: a user who scrolled up to read is not pulled down by the next line. Following happens
    // once the event loop turns, so a burst of lines scrolls the view once.
    void AppendText(const QColor& colour, const QString& text);

    bool HandlesCommand(int id) const override;
    bool IsCommandEnabled(int id) const override;
    void RunCommand(int id) override;

    // Clear All: asks first when "UserPrompt", "PromptOnClearFtpServerlog" is set; false when the
    // user kept the text.
    bool ClearLog();
    // Save: asks for a path through savePathChooser and writes the whole text there; false when the
    // user cancelled or the file could not be written (the user has been told why).
    bool SaveLog();

    // Asks for the path Save writes to; an empty path cancels. The default is the save dialog.
    std::function<QString()> savePathChooser;

signals:
    // The pane gained the keyboard focus: neither file pane is active any more.
    void focusGained();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QString AskSavePath();
    bool IsAllSelected() const;
    void FollowNewestLine();

    SettingsStore settings_;
    // A scroll to the newest line is queued, and the scroll position it was queued at.
    bool followPending_ = false;
    int followFrom_ = 0;
};

} // namespace tessaly
