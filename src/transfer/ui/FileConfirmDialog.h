#pragma once

#include "transfer/ConflictQuestion.h"

#include <QDialog>
#include <QString>
#include <QTimer>

class QCheckBox;
class QPushButton;

namespace tessaly {

// "File Confirmation": what to do with a file whose target exists already. The upper block shows the
// local file and the lower block the remote one, for uploads as for downloads. The dialog proposes
// an answer (DefaultConflictChoice), focuses its button and, left alone, presses it after a
// countdown: one tick a second, the button's caption counting "Resume = 1" up to "Resume = 10", and
// the press on the tick after that. Cancel, Esc and the close box pause the countdown and ask
// whether the whole job is to be cancelled; No lets the countdown go on where it stood.
class CFileConfirmDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTickMs = 1000;
    // The count the caption reaches before the proposed button is pressed.
    static constexpr int kLastCount = 10;

    explicit CFileConfirmDialog(const ConflictQuestion& question, QWidget* parent = nullptr,
                                int tickMs = kTickMs);

    // What the user chose; cancelled unless a choice button (or the countdown) closed the dialog.
    ConflictAnswer Answer() const { return answer_; }
    // The button the countdown presses.
    QPushButton* DefaultButton() const { return defaultButton_; }
    // -1 before the first tick, then up to kLastCount.
    int Count() const { return count_; }
    bool CountdownRunning() const { return timer_.isActive(); }
    // One step of the countdown, as the timer takes it.
    void Tick();

public slots:
    // Cancel, Esc and the close box: asks before the job is cancelled.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QPushButton* AddChoiceButton(const QString& caption, ConflictChoice choice);
    void Choose(ConflictChoice choice);

    ConflictAnswer answer_;
    QCheckBox* rememberBox_ = nullptr;
    QPushButton* defaultButton_ = nullptr;
    QString defaultCaption_;
    int count_ = -1;
    QTimer timer_;
};

// Asks the question in a modal "File Confirmation" dialog over parent.
ConflictAnswer AskFileConflict(QWidget* parent, const ConflictQuestion& question);

} // namespace tessaly
