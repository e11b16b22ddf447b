// The options sheet driven as a user would, each outcome checked by reading the settings file again:
// its pages and labels, range checks, the list editors, the switch-dependent groups, stored values no
// button stands for, a failed save, every key through the sheet and back, the FTP proxy's conventions
// as a login uses them, and the Option command of the main window.
#include "settings/ui/OptionSheet.h"

#include "GuiSupport.h"
#include "MainFrameFixture.h"
#include "session/DownloadJob.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "settings/ui/AdvancePage.h"
#include "settings/ui/ConnectionPages.h"
#include "settings/ui/OptionListEditor.h"
#include "settings/ui/PromptMiscPages.h"
#include "support/FileSizeLimit.h"
#include "support/ProxyLogonCases.h"
#include "ui/CommandIds.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <stdexcept>
#include <tuple>

namespace tessaly::test {
namespace {

using namespace Qt::StringLiterals;

// Answers every message box that opens while it lives with OK, keeping what each said.
class MessageWatch {
public:
    MessageWatch() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box != nullptr && box->isVisible()) {
                said.append(box->text());
                box->button(QMessageBox::Ok)->click();
            }
        });
        timer_.start(10);
    }
    QStringList said;

private:
    QTimer timer_;
};

template <typename T> T& Named(QWidget& parent, const QString& name) {
    T* child = parent.findChild<T*>(name);
    if (child == nullptr) {
        throw std::runtime_error("no " + name.toStdString() + " in " + parent.objectName().toStdString());
    }
    return *child;
}

QAbstractButton& Button(QWidget& page, const QString& name) {
    return Named<QAbstractButton>(page, name);
}

void Retype(QWidget& field, const QString& text) {
    field.setFocus();
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(&field)) {
        spin->selectAll();
    } else {
        qobject_cast<QLineEdit*>(&field)->selectAll();
    }
    QTest::keyClick(&field, Qt::Key_Delete);
    QTest::keyClicks(&field, text);
}

// The value a key holds in the file, "<absent>" when it has none.
QString Stored(const QString& path, const SettingKey& key) {
    return SettingsStore(path).GetString(key.section, key.key, u"<absent>"_s);
}

// A value of the key's kind other than its default that the sheet takes as it is.
QString NonDefault(const SettingKey& key) {
    if (&key == &setting::kExtendsionList) {
        return u"TXT,MD"_s;
    }
    if (&key == &setting::kIdleCmdList) {
        return u"NOOP,PWD"_s;
    }
    if (&key == &setting::kFileViewer) {
        return u"/usr/bin/less"_s;
    }
    switch (key.kind) {
    case SettingKind::Switch:
        return QString::number(1 - key.defaultNumber);
    case SettingKind::Number:
        return QString::number(key.defaultNumber != key.low ? key.low : key.high);
    case SettingKind::Text:
        break;
    }
    return key.key.toString() + u"-value"_s;
}

class OptionSheetTest : public ::testing::Test {
protected:
    QString path() const { return dir_.filePath(u"tessaly.INI"_s); }

    // The sheet over the test's settings file, shown as Option shows it.
    std::unique_ptr<COptionSheet> Open() {
        auto sheet = std::make_unique<COptionSheet>(settings_);
        sheet->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(sheet.get()));
        return sheet;
    }
    static QWidget& PageOf(COptionSheet& sheet, const QString& caption) { return *sheet.FindPage(caption); }
    static void PressOk(COptionSheet& sheet) {
        sheet.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    }
    static void PressCancel(COptionSheet& sheet) {
        sheet.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    }

    QTemporaryDir dir_;
    SettingsStore settings_{dir_.filePath(u"tessaly.INI"_s)};
};

TEST_F(OptionSheetTest, PagesShowTheirCaptionsAndEveryLabelAsSpelled) {
    const auto sheet = Open();
    EXPECT_EQ(sheet->windowTitle(), u"Tessaly Client"_s);
    // Labels, check boxes and radio buttons of each page, spelled as the program has always shown them.
    const std::vector<std::pair<QString, QStringList>> pages = {
        {u"General"_s,
         {u"Anonymous email: "_s, u"Connect times: "_s, u"Connect wait: "_s, u"Login times: "_s,
          u"Login wait(s): "_s, u"Allows change username when authentication"_s,
          u"Auto check resume broken downloads support"_s, u"Hide password when login FTP Server"_s,
          u"Wait for reply"_s, u"Timeout setting"_s, u"Connect(s): "_s, u"Server reply(s): "_s,
          u"Upload(m): "_s, u"Downloads(m): "_s}},
        {u"Advance"_s,
         {u"PASV Mode"_s, u"Use File Cache"_s, u"Show Login Information"_s, u"Show Folder Information"_s,
          u"Auto"_s, u"ASCII"_s, u"Binary"_s, u"Control(KB):  "_s, u"Send(KB): "_s, u"Receive(KB): "_s,
          u"Keep Active"_s, u"Idle Time(s):"_s, u"Random Commands: "_s, u"Add"_s, u"Delete"_s}},
        {u"Socks"_s,
         {u"None"_s, u"Use Socks Proxy"_s, u"SOCKS4"_s, u"SOCKS4A"_s, u"SOCKS5"_s, u"HTTP 1.1"_s,
          u"&Socks Server:"_s, u"P&ort"_s, u"Authentication:"_s, u"&Username"_s, u"&Password"_s}},
        {u"Proxy"_s,
         {u"None"_s, u"Use FTP Proxy"_s, u"Proxy &Server: "_s, u"&Port: "_s, u"SITE hostname"_s,
          u"USER after logon"_s, u"Proxy OPEN"_s, u"Transparent"_s, u"USER with no logon"_s,
          u"USER fireid@remotehost"_s, u"USER remoteid@remotehost fireid"_s,
          u"USER remoteid@fireid@remotehost"_s, u"Authentication"_s}},
        {u"Prompt"_s, {}},
        {u"Miscellanea"_s,
         {u"Text File Editor: "_s, u"..."_s, u"Launch Connect Wizard"_s, u"Launch Site Manager"_s,
          u"Nothing"_s, u"Execute"_s, u"View"_s, u"Upload/Download"_s, u"Ignore"_s, u"Don't Change"_s,
          u"Lower Case"_s, u"Upper Case"_s}},
    };
    ASSERT_EQ(sheet->PageCount(), int(pages.size()));
    EXPECT_EQ(sheet->CurrentPage(), 0) << "the sheet opens on General";
    for (int index = 0; index < sheet->PageCount(); ++index) {
        const auto& [caption, texts] = pages[std::size_t(index)];
        EXPECT_EQ(sheet->Tree().topLevelItem(index)->text(0), caption);
        sheet->SelectPage(index);
        EXPECT_EQ(sheet->CaptionBand().text(), caption);
        QWidget& page = sheet->Page(index);
        EXPECT_TRUE(page.isVisible());
        QStringList shown;
        for (const QLabel* label : page.findChildren<QLabel*>()) {
            shown.append(label->text());
        }
        for (const QAbstractButton* button : page.findChildren<QAbstractButton*>()) {
            shown.append(button->text());
        }
        for (const QString& text : texts) {
            EXPECT_TRUE(shown.contains(text)) << qPrintable(caption) << ": " << qPrintable(text);
        }
        EXPECT_FALSE(SaveScreenshot(*sheet, u"Options"_s + caption).isEmpty());
    }
    // The Prompt page's seven rows, in order.
    const QListWidget& prompts = Named<QListWidget>(PageOf(*sheet, u"Prompt"_s), u"PromptList"_s);
    QStringList rows;
    for (int row = 0; row < prompts.count(); ++row) {
        rows.append(prompts.item(row)->text());
    }
    EXPECT_EQ(rows,
              (QStringList{u"Clear FTP Status and Message"_s, u"Delete FTP Site from Site Manager"_s,
                           u"Delete Local Files"_s, u"Delete Remote Files"_s, u"Disconnect FTP Session"_s,
                           u"Exit Tessaly Program"_s, u"Abort Current FTP Commands"_s}));
}

// Without a file, OK writes every key the pages have with its default from the settings table; the
// pages together have every key but "ReturnLine", each once.
TEST_F(OptionSheetTest, OkWithoutAFileWritesEveryKeyWithItsTableDefault) {
    const auto sheet = Open();
    std::multiset<const SettingKey*> onPages;
    for (int index = 0; index < sheet->PageCount(); ++index) {
        for (const SettingKey* key : sheet->Page(index).Keys()) {
            onPages.insert(key);
        }
    }
    PressOk(*sheet);
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    for (const SettingKey* key : setting::kAllSettings) {
        if (key == &setting::kReturnLine) {
            EXPECT_EQ(onPages.count(key), 0U);
            EXPECT_EQ(Stored(path(), *key), u"<absent>"_s);
            continue;
        }
        EXPECT_EQ(onPages.count(key), 1U) << qPrintable(key->key.toString());
        const QString expected = key->kind == SettingKind::Text ? key->defaultText.toString()
                                                                : QString::number(key->defaultNumber);
        EXPECT_EQ(Stored(path(), *key), expected) << qPrintable(key->key.toString());
    }
}

// Every key holding a value other than its default comes back through the sheet unchanged, and the
// file with it, byte for byte; Cancel leaves it as it was after the fields were changed.
TEST_F(OptionSheetTest, EveryKeyComesBackThroughTheSheet) {
    std::vector<SettingsStore::Write> values;
    for (const SettingKey* key : setting::kAllSettings) {
        values.push_back({key->section.toString(), key->key.toString(), NonDefault(*key)});
    }
    ASSERT_TRUE(settings_.WriteAll(values));
    const QByteArray before = ReadAll(path());

    auto sheet = Open();
    Retype(Named<QLineEdit>(PageOf(*sheet, u"General"_s), u"AnommousEmail"_s), u"changed@example.org"_s);
    Button(PageOf(*sheet, u"Socks"_s), u"UseSocks0"_s).click();
    PressCancel(*sheet);
    EXPECT_EQ(sheet->result(), QDialog::Rejected);
    EXPECT_EQ(ReadAll(path()), before) << "Cancel writes nothing";

    sheet = Open();
    PressOk(*sheet);
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    for (const SettingKey* key : setting::kAllSettings) {
        EXPECT_EQ(Stored(path(), *key), NonDefault(*key)) << qPrintable(key->key.toString());
    }
    EXPECT_EQ(ReadAll(path()), before);
}

// Each number field refuses a value above and below its range and text that is no number: the sheet
// shows the field's page, says the range, keeps the focus on the field and writes nothing.
TEST_F(OptionSheetTest, NumbersOutsideTheirRangeKeepTheSheetOpenOnTheirPage) {
    const auto sheet = Open();
    // Every field enabled, as only those take typing; the FTP proxy with a convention.
    for (const QString& name : {u"UseTimeout1"_s, u"UseSocks1"_s, u"UseProxy1"_s, u"ProxyType1"_s}) {
        Button(*sheet, name).click();
    }
    int checked = 0;
    for (int index = 0; index < sheet->PageCount(); ++index) {
        for (COptionNumberBox* box : sheet->Page(index).findChildren<COptionNumberBox*>()) {
            const SettingKey& key = box->Key();
            const QString name = key.key.toString();
            const QString range = u"Please enter an integer between %1 and %2."_s.arg(key.low).arg(key.high);
            // An empty field is left only through OK: leaving it otherwise puts its number back.
            for (const auto& [typed, message, leave] :
                 {std::tuple{QString::number(key.high + 1), range, true},
                  std::tuple{QString::number(key.low - 1), range, true},
                  std::tuple{QString(), u"Please enter an integer."_s, false}}) {
                sheet->SelectPage(index);
                Retype(*box, typed);
                if (leave) {
                    sheet->SelectPage(index == 0 ? sheet->PageCount() - 1 : 0);
                }
                MessageWatch watch;
                PressOk(*sheet);
                EXPECT_EQ(watch.said, QStringList{message}) << qPrintable(name) << " " << qPrintable(typed);
                EXPECT_TRUE(sheet->isVisible()) << qPrintable(name);
                EXPECT_EQ(sheet->CurrentPage(), index) << qPrintable(name);
                EXPECT_EQ(sheet->CaptionBand().text(), sheet->Page(index).Caption());
                EXPECT_EQ(sheet->focusWidget(), box) << qPrintable(name);
                EXPECT_FALSE(QFile::exists(path())) << qPrintable(name);
            }
            Retype(*box, QString::number(key.defaultNumber));
            ++checked;
        }
    }
    EXPECT_EQ(checked, 14);
    // Typing 9 into "Control(KB):" is the case users meet first.
    auto* control = PageOf(*sheet, u"Advance"_s).findChild<COptionNumberBox*>(u"ControlSize"_s);
    Retype(*control, u"9"_s);
    sheet->SelectPage(0);
    MessageWatch watch;
    PressOk(*sheet);
    EXPECT_EQ(watch.said, QStringList{u"Please enter an integer between 1 and 8."_s});
    EXPECT_EQ(sheet->CaptionBand().text(), u"Advance"_s);
    EXPECT_FALSE(QFile::exists(path()));
    // The arrows step back into the range, and not past its ends.
    control->stepUp();
    EXPECT_EQ(control->value(), 8);
    control->stepUp();
    EXPECT_EQ(control->value(), 8);
}

// Each group follows its switch; the switch itself stays enabled.
TEST_F(OptionSheetTest, SwitchDependentGroupsFollowTheirSwitch) {
    const auto sheet = Open();
    struct Case {
        const char16_t* page;
        const char16_t* on;
        const char16_t* off; // nullptr: the switch is a check box
        const char16_t* group;
    };
    for (const Case& c : {Case{u"General", u"UseTimeout1", u"UseTimeout0", u"TimeoutFields"},
                          Case{u"Advance", u"KeepConnection", nullptr, u"IdleGroup"},
                          Case{u"Socks", u"UseSocks1", u"UseSocks0", u"SocksServer"},
                          Case{u"Socks", u"SocksAuthen", nullptr, u"SocksCredentials"},
                          Case{u"Proxy", u"UseProxy1", u"UseProxy0", u"ProxyFields"},
                          Case{u"Proxy", u"Authentication", nullptr, u"ProxyCredentials"}}) {
        QWidget& page = PageOf(*sheet, QString::fromUtf16(c.page));
        const QString group = QString::fromUtf16(c.group);
        // The groups inside another one need that one on.
        for (const char16_t* outer : {u"UseSocks1", u"UseProxy1"}) {
            if (auto* button = page.findChild<QAbstractButton*>(QString::fromUtf16(outer))) {
                button->click();
            }
        }
        QAbstractButton& on = Button(page, QString::fromUtf16(c.on));
        on.click();
        if (!on.isChecked()) {
            on.click();
        }
        EXPECT_TRUE(Named<QWidget>(page, group).isEnabled()) << qPrintable(group);
        if (c.off != nullptr) {
            Button(page, QString::fromUtf16(c.off)).click();
        } else {
            on.click();
        }
        EXPECT_FALSE(Named<QWidget>(page, group).isEnabled()) << qPrintable(group);
        EXPECT_TRUE(on.isEnabled()) << qPrintable(group);
    }
}

TEST_F(OptionSheetTest, RandomCommandsEditedRowByRowAndAllDeletedStoreAnEmptyList) {
    auto sheet = Open();
    COptionListEditor& editor = Named<COptionListEditor>(PageOf(*sheet, u"Advance"_s), u"IdleCmdList"_s);
    EXPECT_EQ(editor.Rows(),
              (QStringList{u"Reload"_s, u"PWD"_s, u"NOOP"_s, u"REST 0"_s, u"TYPE A"_s, u"TYPE I"_s}));
    EXPECT_FALSE(editor.AddButton().isEnabled());
    EXPECT_FALSE(editor.DeleteButton().isEnabled());
    QTest::keyClicks(&editor.Edit(), u"STAT"_s);
    ASSERT_TRUE(editor.AddButton().isEnabled());
    editor.AddButton().click();
    EXPECT_EQ(editor.Rows().last(), u"STAT"_s);
    EXPECT_TRUE(editor.Edit().text().isEmpty());
    EXPECT_FALSE(editor.AddButton().isEnabled());
    // A duplicate is taken; an entry with a comma would be read as two commands and is refused.
    QTest::keyClicks(&editor.Edit(), u"PWD"_s);
    editor.AddButton().click();
    {
        MessageWatch watch;
        QTest::keyClicks(&editor.Edit(), u"NOOP,PWD"_s);
        editor.AddButton().click();
        ASSERT_EQ(watch.said.size(), 1);
        EXPECT_TRUE(watch.said.first().contains(u"comma"_s));
    }
    EXPECT_EQ(editor.Edit().text(), u"NOOP,PWD"_s);
    EXPECT_EQ(editor.List().count(), 8);
    editor.Edit().clear();
    // Delete every row, each selected first; Delete is disabled again after each.
    while (editor.List().count() > 0) {
        QListWidget& list = editor.List();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(0)).center());
        ASSERT_TRUE(editor.DeleteButton().isEnabled());
        editor.DeleteButton().click();
        EXPECT_FALSE(editor.DeleteButton().isEnabled());
    }
    PressOk(*sheet);
    EXPECT_EQ(Stored(path(), setting::kIdleCmdList), QString());
    // An empty key gives an empty list.
    sheet = Open();
    EXPECT_EQ(Named<COptionListEditor>(PageOf(*sheet, u"Advance"_s), u"IdleCmdList"_s).List().count(), 0);
}

// Extensions are stored as the transfer step matches them: upper case, without a leading ".".
TEST_F(OptionSheetTest, TextFileExtensionsAreStoredAsTheTransferTypeMatchesThem) {
    ASSERT_TRUE(settings_.WriteString(u"Advance", u"ExtendsionList", u"txt, .Md ,LOG"_s));
    const auto sheet = Open();
    COptionListEditor& editor = Named<COptionListEditor>(PageOf(*sheet, u"Advance"_s), u"ExtendsionList"_s);
    EXPECT_EQ(editor.Rows(), (QStringList{u"TXT"_s, u"MD"_s, u"LOG"_s}));
    QTest::keyClicks(&editor.Edit(), u".cfg"_s);
    editor.AddButton().click();
    {
        MessageWatch watch;
        for (const QString& refused : {u"c,h"_s, u"."_s, u"  "_s}) {
            editor.Edit().setText(refused);
            editor.AddButton().click();
        }
        EXPECT_EQ(watch.said.size(), 3) << qPrintable(watch.said.join(u'\n'));
    }
    // Enter in the field adds the entry; the sheet stays open.
    editor.Edit().clear();
    QTest::keyClicks(&editor.Edit(), u"ini"_s);
    QTest::keyClick(&editor.Edit(), Qt::Key_Return);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(editor.Rows(), (QStringList{u"TXT"_s, u"MD"_s, u"LOG"_s, u"CFG"_s, u"INI"_s}));
    PressOk(*sheet);
    const QString stored = Stored(path(), setting::kExtendsionList);
    EXPECT_EQ(stored, u"TXT,MD,LOG,CFG,INI"_s);
    // The transfer step sends each of them as text in the automatic mode.
    for (const char* file : {"/a/notes.md", "/a/setup.cfg", "/a/b.ini", "/a/READ.txt"}) {
        EXPECT_EQ(TransferTypeCommand(file, 1, stored), "TYPE A") << file;
    }
    EXPECT_EQ(TransferTypeCommand("/a/image.png", 1, stored), "TYPE I");
}

TEST_F(OptionSheetTest, ProxyNoneStoresZeroAndLeavesNoConventionChosen) {
    ASSERT_TRUE(settings_.WriteInt(u"FtpProxy", u"UseProxy", 1));
    ASSERT_TRUE(settings_.WriteInt(u"FtpProxy", u"ProxyType", 4));
    auto sheet = Open();
    CProxyProp* proxy = sheet->findChild<CProxyProp*>();
    EXPECT_TRUE(Button(*proxy, u"UseProxy1"_s).isChecked());
    EXPECT_EQ(proxy->LogonTypes().checkedButton()->text(), u"Transparent"_s);
    Button(*proxy, u"UseProxy0"_s).click();
    EXPECT_EQ(proxy->LogonTypes().checkedId(), -1);
    Button(*proxy, u"UseProxy1"_s).click();
    EXPECT_EQ(proxy->LogonTypes().checkedId(), -1) << "no convention until one is picked";
    // "Use FTP Proxy" without a convention would connect nowhere: OK asks for one.
    const QByteArray before = ReadAll(path());
    {
        sheet->SelectPage(0);
        MessageWatch watch;
        PressOk(*sheet);
        EXPECT_EQ(watch.said, QStringList{u"Choose the logon type of the FTP proxy."_s});
    }
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->CaptionBand().text(), u"Proxy"_s);
    EXPECT_EQ(ReadAll(path()), before);
    Button(*proxy, u"UseProxy0"_s).click();
    PressOk(*sheet);
    EXPECT_EQ(Stored(path(), setting::kUseProxy), u"0"_s);
    EXPECT_EQ(Stored(path(), setting::kProxyType), u"0"_s);

    sheet = Open();
    proxy = sheet->findChild<CProxyProp*>();
    EXPECT_TRUE(Button(*proxy, u"UseProxy0"_s).isChecked());
    Button(*proxy, u"UseProxy1"_s).click();
    EXPECT_EQ(proxy->LogonTypes().checkedId(), -1);
    Button(*proxy, u"ProxyType3"_s).click();
    PressOk(*sheet);
    EXPECT_EQ(Stored(path(), setting::kUseProxy), u"1"_s);
    EXPECT_EQ(Stored(path(), setting::kProxyType), u"3"_s);
}

// A stored value no button stands for is shown as the choice its reader makes of it, and OK stores
// that choice.
TEST_F(OptionSheetTest, StoredValuesNoButtonStandsForShowTheReadersChoice) {
    struct Case {
        std::vector<std::pair<const SettingKey*, int>> stored;
        QStringList checked; // buttons (and check boxes) shown checked
        std::vector<std::pair<const SettingKey*, int>> written;
    };
    const std::vector<Case> cases = {
        {{{&setting::kTransferType, 0}}, {u"TransferType3"_s}, {{&setting::kTransferType, 3}}},
        {{{&setting::kTransferType, 9}}, {u"TransferType3"_s}, {{&setting::kTransferType, 3}}},
        {{{&setting::kDownloadCase, 4}}, {u"DownloadCase1"_s}, {{&setting::kDownloadCase, 1}}},
        {{{&setting::kDownloadCase, -1}}, {u"DownloadCase0"_s}, {{&setting::kDownloadCase, 0}}},
        {{{&setting::kUploadCase, 5}}, {u"UploadCase2"_s}, {{&setting::kUploadCase, 2}}},
        {{{&setting::kDbClickType, 7}}, {u"DbClickType0"_s}, {{&setting::kDbClickType, 0}}},
        {{{&setting::kDbClickType, -2}}, {u"DbClickType0"_s}, {{&setting::kDbClickType, 0}}},
        {{{&setting::kStartupType, 3}}, {u"StartupType0"_s}, {{&setting::kStartupType, 0}}},
        {{{&setting::kUseTimeout, 5}}, {u"UseTimeout1"_s}, {{&setting::kUseTimeout, 1}}},
        {{{&setting::kPasvMode, 7}}, {u"PasvMode"_s}, {{&setting::kPasvMode, 1}}},
        {{{&setting::kUseSocks, 1}, {&setting::kSocksType, 4}},
         {u"UseSocks0"_s, u"SocksType0"_s},
         {{&setting::kUseSocks, 0}, {&setting::kSocksType, 0}}},
        {{{&setting::kUseSocks, 3}, {&setting::kSocksType, 2}},
         {u"UseSocks1"_s, u"SocksType2"_s},
         {{&setting::kUseSocks, 1}, {&setting::kSocksType, 2}}},
        {{{&setting::kUseProxy, 0}, {&setting::kProxyType, 5}},
         {u"UseProxy0"_s},
         {{&setting::kUseProxy, 0}, {&setting::kProxyType, 0}}},
        // The reader's correction of a buffer size shows as the size used.
        {{{&setting::kControlSize, 9}}, {}, {{&setting::kControlSize, 4}}},
    };
    for (const Case& c : cases) {
        QFile::remove(path());
        for (const auto& [key, value] : c.stored) {
            ASSERT_TRUE(settings_.WriteInt(key->section, key->key, value));
        }
        const QString name =
            c.stored.front().first->key.toString() + u'=' + QString::number(c.stored.front().second);
        const auto sheet = Open();
        for (const QString& button : c.checked) {
            EXPECT_TRUE(Button(*sheet, button).isChecked()) << qPrintable(name) << ": " << qPrintable(button);
        }
        PressOk(*sheet);
        ASSERT_EQ(sheet->result(), QDialog::Accepted) << qPrintable(name);
        for (const auto& [key, value] : c.written) {
            EXPECT_EQ(Stored(path(), *key), QString::number(value)) << qPrintable(name);
        }
    }
    // The transfer step makes the same choice of the value stored and of the value written.
    for (const int stored : {-1, 0, 4, 9}) {
        for (const char* file : {"/a.txt", "/a.bin"}) {
            EXPECT_EQ(TransferTypeCommand(file, stored, u"TXT"_s), TransferTypeCommand(file, 3, u"TXT"_s));
        }
    }
    // With the FTP proxy on and no convention stored, none is shown and OK asks for one.
    QFile::remove(path());
    ASSERT_TRUE(settings_.WriteInt(u"FtpProxy", u"UseProxy", 1));
    ASSERT_TRUE(settings_.WriteInt(u"FtpProxy", u"ProxyType", 9));
    const auto sheet = Open();
    EXPECT_TRUE(Button(*sheet, u"UseProxy1"_s).isChecked());
    EXPECT_EQ(sheet->findChild<CProxyProp*>()->LogonTypes().checkedId(), -1);
    MessageWatch watch;
    PressOk(*sheet);
    EXPECT_EQ(watch.said.size(), 1);
    EXPECT_EQ(Stored(path(), setting::kProxyType), u"9"_s);
}

TEST_F(OptionSheetTest, PromptRowsFlipOnDoubleClickAndAreStored) {
    ASSERT_TRUE(settings_.WriteInt(u"UserPrompt", u"PromptOnClearFtpServerlog", 1));
    ASSERT_TRUE(settings_.WriteInt(u"UserPrompt", u"PromptOnDeleteFavorites", 0));
    const auto sheet = Open();
    sheet->SelectPage(4);
    QListWidget& list = Named<QListWidget>(*sheet, u"PromptList"_s);
    const auto checks = [&list] {
        QList<bool> states;
        for (int row = 0; row < list.count(); ++row) {
            states.append(list.item(row)->checkState() == Qt::Checked);
        }
        return states;
    };
    EXPECT_EQ(checks(), (QList<bool>{true, false, true, true, true, true, false}));
    // With no row selected a double-click below the rows changes nothing.
    const QPoint below = list.visualItemRect(list.item(list.count() - 1)).bottomLeft() + QPoint(4, 4);
    ASSERT_TRUE(list.viewport()->rect().contains(below));
    ASSERT_TRUE(list.selectedItems().isEmpty());
    const auto doubleClick = [&list](QPoint at) {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
    };
    doubleClick(below);
    EXPECT_EQ(checks(), (QList<bool>{true, false, true, true, true, true, false}));
    // A double-click on a row's text flips that row.
    for (const int row : {1, 5, 6}) {
        doubleClick(list.visualItemRect(list.item(row)).center());
    }
    EXPECT_EQ(checks(), (QList<bool>{true, true, true, true, true, false, true}));
    PressOk(*sheet);
    EXPECT_EQ(Stored(path(), setting::kPromptOnDeleteFavorites), u"1"_s);
    EXPECT_EQ(Stored(path(), setting::kPromptOnCloseMainWindow), u"0"_s);
    EXPECT_EQ(Stored(path(), setting::kPromptOnAbortFtpCommand), u"1"_s);
    EXPECT_EQ(Stored(path(), setting::kPromptOnClearFtpServerlog), u"1"_s);
}

// A save that fails (here a full disk) is told; the sheet stays open and the file as it was.
TEST_F(OptionSheetTest, AFailedSaveIsToldAndKeepsTheSheetOpen) {
    ASSERT_TRUE(settings_.WriteInt(u"General", u"RetryNumber", 5));
    const QByteArray before = ReadAll(path());
    const auto sheet = Open();
    Retype(Named<QWidget>(*sheet, u"RetryNumber"_s), u"7"_s);
    {
        MessageWatch watch;
        const FileSizeLimit full(16);
        PressOk(*sheet);
        ASSERT_EQ(watch.said.size(), 1);
        EXPECT_TRUE(watch.said.first().startsWith(u"The options could not be saved"_s))
            << qPrintable(watch.said.first());
    }
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(ReadAll(path()), before);
    PressOk(*sheet);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(Stored(path(), setting::kRetryNumber), u"7"_s);
}

// The viewer is any program: the chooser lists executable files whatever their names end with.
TEST_F(OptionSheetTest, ViewerChooserTakesAnyProgram) {
    const QString program = dir_.filePath(u"my-viewer"_s);
    ASSERT_TRUE(WriteAll(program, "#!/bin/sh\n"));
    QFile(program).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const auto sheet = Open();
    bool seen = false;
    HandleNextModal([&](QWidget* modal) {
        auto* chooser = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(chooser, nullptr);
        seen = true;
        EXPECT_TRUE(chooser->filter().testFlag(QDir::Executable));
        EXPECT_FALSE(chooser->nameFilters().join(u' ').contains(u"exe"_s))
            << qPrintable(chooser->nameFilters().join(u' '));
        chooser->setDirectory(dir_.path());
        chooser->selectFile(program);
        chooser->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->click();
    });
    Button(*sheet, u"ChooseViewer"_s).click();
    ASSERT_TRUE(seen);
    EXPECT_EQ(Named<QLineEdit>(*sheet, u"FileViewer"_s).text(), program);
    PressOk(*sheet);
    EXPECT_EQ(Stored(path(), setting::kFileViewer), program);
}

// Each logon convention, chosen on the Proxy page and stored by OK, gives a login the commands of that
// convention.
TEST_F(OptionSheetTest, EachConventionStoredByTheSheetLogsOnAsItSays) {
    for (const ProxyCase& c : ProxyLogonCases()) {
        ExpectProxyLogon(c, [](EngineHarness& h, const ProxyCase& proxyCase, quint16 port) {
            COptionSheet sheet(h.settings());
            sheet.show();
            CProxyProp& page = *sheet.findChild<CProxyProp*>();
            sheet.SelectPage(3);
            Button(page, u"UseProxy1"_s).click();
            Button(page, u"ProxyType"_s + QString::number(proxyCase.convention)).click();
            Retype(Named<QWidget>(page, u"ProxyName"_s), u"127.0.0.1"_s);
            Retype(Named<QWidget>(page, u"ProxyPort"_s), QString::number(port));
            Button(page, u"Authentication"_s).click();
            Retype(Named<QWidget>(page, u"UserName"_s), u"fw"_s);
            Retype(Named<QWidget>(page, u"PassWord"_s), u"fwpw"_s);
            PressOk(sheet);
            ASSERT_EQ(sheet.result(), QDialog::Accepted);
            EXPECT_EQ(h.settings().GetInt(u"FtpProxy", u"ProxyType", -1), proxyCase.convention);
            EXPECT_EQ(h.settings().GetInt(u"FtpProxy", u"UseProxy", -1), 1);
        });
    }
}

// Alt+O opens the sheet from the main window; Cancel keeps the directory cache, and OK with "Use File
// Cache" off empties it.
class MainFrameOptionsTest : public MainFrameTransferTest {};

TEST_F(MainFrameOptionsTest, OptionOpensTheSheetAndTurningTheCacheOffEmptiesIt) {
    ASSERT_TRUE(frame().IsCommandEnabled(cmd::kOption));
    ASSERT_NE(frame().Engine().Session(), nullptr);
    ASSERT_FALSE(frame().Engine().Session()->folderCache.isEmpty());
    const auto runSheet = [&](const std::function<void(COptionSheet&)>& act) {
        bool seen = false;
        HandleNextModal([&](QWidget* modal) {
            auto* sheet = qobject_cast<COptionSheet*>(modal);
            ASSERT_NE(sheet, nullptr);
            seen = true;
            act(*sheet);
        });
        // The key reaches the window that is active again once a dialog before has closed.
        frame().activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&frame()));
        QTest::keyClick(&frame(), Qt::Key_O, Qt::AltModifier);
        return seen;
    };
    EXPECT_TRUE(runSheet([](COptionSheet& sheet) {
        Button(sheet, u"FolderCatch"_s).click();
        sheet.reject();
    }));
    EXPECT_FALSE(frame().Engine().Session()->folderCache.isEmpty());
    EXPECT_EQ(settings().GetString(u"Advance", u"FolderCatch", u"<absent>"_s), u"<absent>"_s);
    EXPECT_TRUE(runSheet([](COptionSheet& sheet) {
        sheet.SelectPage(1);
        Button(sheet, u"FolderCatch"_s).click();
        QPushButton* ok = sheet.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        {
            // The window's one connection attempt is fewer than the page takes: OK asks for 2 to 8.
            MessageWatch watch;
            ok->click();
            EXPECT_EQ(watch.said, QStringList{u"Please enter an integer between 2 and 8."_s});
        }
        EXPECT_EQ(sheet.CurrentPage(), 0);
        Retype(Named<QWidget>(sheet, u"RetryNumber"_s), u"2"_s);
        ok->click();
    }));
    EXPECT_EQ(settings().GetInt(u"Advance", u"FolderCatch", -1), 0);
    ASSERT_NE(frame().Engine().Session(), nullptr);
    EXPECT_TRUE(frame().Engine().Session()->folderCache.isEmpty());
}

} // namespace
} // namespace tessaly::test
