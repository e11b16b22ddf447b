#include "settings/ui/AdvancePage.h"

#include "settings/ui/OptionChoices.h"
#include "settings/ui/OptionListEditor.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace tessaly {

using namespace Qt::StringLiterals;

CAdvanceProp::CAdvanceProp(QWidget* parent)
    : COptionPage(u"Advance"_s, parent),
      idleCommands_(new COptionListEditor(
          setting::kIdleCmdList.key.toString(), [](const QString& entry) { return entry; }, this)),
      extensions_(new COptionListEditor(setting::kExtendsionList.key.toString(),
                                        &option_choice::ExtensionEntry, this)) {
    auto* connection = new QGroupBox(u"Connection"_s, this);
    auto* connectionLayout = new QVBoxLayout(connection);
    connectionLayout->addWidget(NewCheck(u"PASV Mode"_s, setting::kPasvMode));
    connectionLayout->addWidget(NewCheck(u"Use File Cache"_s, setting::kFolderCatch));
    connectionLayout->addWidget(NewCheck(u"Show Login Information"_s, setting::kShowLoginMsg));
    connectionLayout->addWidget(NewCheck(u"Show Folder Information"_s, setting::kShowDirMsg));

    auto* transfer = new QGroupBox(u"Transfer Type"_s, this);
    auto* transferLayout = new QHBoxLayout(transfer);
    const QButtonGroup* transferType =
        NewChoice(setting::kTransferType, {{u"Auto", 1}, {u"ASCII", 2}, {u"Binary", 3}},
                  [](const SettingsStore& settings) {
                      return option_choice::TransferType(settings.Number(setting::kTransferType));
                  });
    AddButtons(transferLayout, transferType);

    auto* buffers = new QGroupBox(u"Buffer"_s, this);
    auto* bufferGrid = new QGridLayout(buffers);
    AddNumbers(bufferGrid, {{u"Control(KB):  ", &setting::kControlSize, 0, 0},
                            {u"Send(KB): ", &setting::kSendSize, 1, 0},
                            {u"Receive(KB): ", &setting::kReceiveSize, 2, 0}});
    bufferGrid->setColumnStretch(1, 1);

    // The keep-alive: its idle time and commands are enabled only while "Keep Active" is checked.
    auto* keepAlive = new QGroupBox(this);
    QCheckBox* keepActive = NewCheck(u"Keep Active"_s, setting::kKeepConnection);
    auto* idle = new QWidget(keepAlive);
    idle->setObjectName(u"IdleGroup"_s);
    auto* idleGrid = new QGridLayout(idle);
    idleGrid->setContentsMargins(0, 0, 0, 0);
    AddNumbers(idleGrid, {{u"Idle Time(s):", &setting::kIdleCommand, 0, 0}});
    Bind({&setting::kIdleCmdList,
          [this](const SettingsStore& settings) {
              idleCommands_->SetStored(settings.Text(setting::kIdleCmdList));
          },
          [this] { return idleCommands_->Stored(); },
          {}});
    idleGrid->addWidget(NewLabel(u"Random Commands: "_s, &idleCommands_->Edit()), 1, 0, 1, 2);
    idleGrid->addWidget(idleCommands_, 2, 0, 1, 2);
    idleGrid->setColumnStretch(1, 1);
    EnableWith(keepActive, idle);
    auto* keepAliveLayout = new QVBoxLayout(keepAlive);
    keepAliveLayout->addWidget(keepActive);
    keepAliveLayout->addWidget(idle);

    // Stored as the transfer step matches them: upper case, without a leading ".".
    auto* textFiles = new QGroupBox(u"Text File Extensions"_s, this);
    Bind({&setting::kExtendsionList,
          [this](const SettingsStore& settings) {
              extensions_->SetStored(settings.Text(setting::kExtendsionList));
          },
          [this] { return extensions_->Stored(); },
          {}});
    auto* textFilesLayout = new QVBoxLayout(textFiles);
    textFilesLayout->addWidget(extensions_);

    auto* left = new QVBoxLayout;
    left->addWidget(connection);
    left->addWidget(transfer);
    left->addWidget(buffers);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(keepAlive, 1);
    right->addWidget(textFiles, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(right, 1);
}

} // namespace tessaly
