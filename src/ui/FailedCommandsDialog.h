#pragma once

#include "session/FtpSession.h"

#include <QDialog>
#include <vector>

class QPushButton;
class QTextEdit;

namespace tessaly {

// "Information": tells the user that commands were refused; "Details>>" opens a box listing each
// refused command (dark green, after "Command:>") and the lines of its reply (red, indented).
class FailedCommandsDialog : public QDialog {
    Q_OBJECT
public:
    FailedCommandsDialog(const std::vector<FailureRecord>& records, QWidget* parent = nullptr);

    bool DetailsShown() const;
    void ShowDetails(bool shown);

private:
    void FillDetails(const std::vector<FailureRecord>& records);

    QPushButton* detailsButton_ = nullptr;
    QTextEdit* details_ = nullptr;
    int closedHeight_ = 0;
};

} // namespace tessaly
