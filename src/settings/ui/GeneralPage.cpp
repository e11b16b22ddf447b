#include "settings/ui/GeneralPage.h"

#include "settings/ui/OptionChoices.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tessaly {

using namespace Qt::StringLiterals;

CGeneralPage::CGeneralPage(QWidget* parent) : COptionPage(u"General"_s, parent) {
    QLineEdit* email = NewText(setting::kAnommousEmail);
    auto* attempts = new QGridLayout;
    attempts->addWidget(NewLabel(u"Anonymous email: "_s, email), 0, 0);
    attempts->addWidget(email, 0, 1, 1, 3);
    AddNumbers(attempts, {{u"Connect times: ", &setting::kRetryNumber, 1, 0},
                          {u"Connect wait: ", &setting::kWaitTimes, 1, 2},
                          {u"Login times: ", &setting::kLoginNumber, 2, 0},
                          {u"Login wait(s): ", &setting::kPassWaitTime, 2, 2}});
    attempts->setColumnStretch(1, 1);
    attempts->setColumnStretch(3, 1);

    auto* checks = new QVBoxLayout;
    checks->addWidget(NewCheck(u"Allows change username when authentication"_s, setting::kCanChangeName));
    checks->addWidget(NewCheck(u"Auto check resume broken downloads support"_s, setting::kResumeSupport));
    checks->addWidget(NewCheck(u"Hide password when login FTP Server"_s, setting::kHiddePassWord));

    // The two ways of waiting, and the time-outs, enabled only while "Timeout setting" is chosen.
    auto* timeouts = new QGroupBox(u"Timeout"_s, this);
    QButtonGroup* useTimeout =
        NewChoice(setting::kUseTimeout, {{u"Wait for reply", 0}, {u"Timeout setting", 1}},
                  [](const SettingsStore& settings) {
                      return option_choice::Switch(settings.Number(setting::kUseTimeout));
                  });
    auto* choice = new QHBoxLayout;
    AddButtons(choice, useTimeout);
    auto* fields = new QWidget(timeouts);
    fields->setObjectName(u"TimeoutFields"_s);
    auto* grid = new QGridLayout(fields);
    grid->setContentsMargins(0, 0, 0, 0);
    AddNumbers(grid, {{u"Connect(s): ", &setting::kConnectionTimeout, 0, 0},
                      {u"Server reply(s): ", &setting::kFtpCommandTimeout, 0, 2},
                      {u"Upload(m): ", &setting::kFileUploadTimeout, 1, 0},
                      {u"Downloads(m): ", &setting::kFileDownloadTimeout, 1, 2}});
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    EnableWith(useTimeout->button(1), fields);
    auto* timeoutLayout = new QVBoxLayout(timeouts);
    timeoutLayout->addLayout(choice);
    timeoutLayout->addWidget(fields);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(attempts);
    layout->addLayout(checks);
    layout->addWidget(timeouts);
    layout->addStretch(1);
}

} // namespace tessaly
