// The parts both panes share (CFileListView, CLCCListCtrl, SortedRows), over a small model of names.

#include "MenuLines.h"
#include "panes/FileListView.h"
#include "panes/LCCListCtrl.h"
#include "panes/SortedRows.h"

#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>

namespace tessaly {
namespace {

using namespace Qt::StringLiterals;

constexpr SortedRows::Column kColumns[] = {{u"Name", Qt::AlignLeft}, {u"Length", Qt::AlignRight}};

// Column 0 sorts by name, column 1 by the name's length (then by name).
class NameRows : public SortedRows {
public:
    NameRows() : SortedRows(kColumns, nullptr) {}

    void SetNames(QStringList names, int column, bool ascending) {
        beginResetModel();
        names_ = std::move(names);
        ResetRows(column, ascending);
        endResetModel();
    }
    QString Name(int row) const { return IsNewDirectoryRow(row) ? QString() : names_[SourceOfRow(row)]; }
    QStringList Names() const {
        QStringList names;
        for (int row = 0; row < rowCount(); ++row) {
            names.append(IsNewDirectoryRow(row) ? u"<new>"_s : Name(row));
        }
        return names;
    }
    int RowOf(const QString& name) const {
        for (int row = 0; row < rowCount(); ++row) {
            if (Name(row) == name) {
                return row;
            }
        }
        return -1;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid()) {
            return {};
        }
        return index.column() == 0 ? QVariant(Name(index.row())) : QVariant(int(Name(index.row()).size()));
    }

protected:
    int SourceCount() const override { return int(names_.size()); }
    std::vector<int> SortSources(int column, bool ascending) const override {
        std::vector<int> order(names_.size());
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&](int a, int b) {
            const QString& x = names_[ascending ? a : b];
            const QString& y = names_[ascending ? b : a];
            return column == 1 && x.size() != y.size() ? x.size() < y.size() : x < y;
        });
        return order;
    }

private:
    QStringList names_;
};

TEST(SortedRowsTest, SortingKeepsTheSelectionAndTheNewDirectoryRowLast) {
    NameRows rows;
    rows.SetNames({u"bb"_s, u"a"_s, u"ccc"_s, u"d"_s}, 0, true);
    ASSERT_EQ(rows.Names(), (QStringList{u"a"_s, u"bb"_s, u"ccc"_s, u"d"_s}));
    QItemSelectionModel selection(&rows);
    selection.setCurrentIndex(rows.index(rows.RowOf(u"ccc"_s), 0), QItemSelectionModel::Select);
    selection.select(rows.index(rows.RowOf(u"a"_s), 1), QItemSelectionModel::Select);

    const int newRow = rows.AppendNewDirectoryRow();
    EXPECT_EQ(newRow, 4);
    EXPECT_EQ(rows.AppendNewDirectoryRow(), newRow); // once only
    EXPECT_EQ(rows.rowCount(), 5);

    rows.SortRows(0, false);
    EXPECT_EQ(rows.Names(), (QStringList{u"d"_s, u"ccc"_s, u"bb"_s, u"a"_s, u"<new>"_s}));
    rows.SortRows(1, true);
    EXPECT_EQ(rows.Names(), (QStringList{u"a"_s, u"d"_s, u"bb"_s, u"ccc"_s, u"<new>"_s}));
    EXPECT_TRUE(rows.IsNewDirectoryRow(4));
    EXPECT_FALSE(rows.IsNewDirectoryRow(5));
    EXPECT_FALSE(rows.IsNewDirectoryRow(-1));
    // The current row and the selection (and its column) moved with their names.
    EXPECT_EQ(rows.Name(selection.currentIndex().row()), u"ccc"_s);
    EXPECT_TRUE(selection.isSelected(rows.index(rows.RowOf(u"a"_s), 1)));
    EXPECT_FALSE(selection.isSelected(rows.index(rows.RowOf(u"d"_s), 1)));

    rows.RemoveNewDirectoryRow();
    rows.RemoveNewDirectoryRow(); // nothing more to remove
    EXPECT_EQ(rows.rowCount(), 4);
    rows.AppendNewDirectoryRow();
    rows.SetNames({u"x"_s}, 0, true); // a new listing has no new-directory row
    EXPECT_EQ(rows.Names(), QStringList{u"x"_s});
}

TEST(SortedRowsTest, HeaderShowsTheColumnTable) {
    NameRows rows;
    rows.SetNames({u"a"_s}, 0, true);
    EXPECT_EQ(rows.columnCount(), 2);
    EXPECT_EQ(rows.columnCount(rows.index(0, 0)), 0);
    EXPECT_EQ(rows.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), u"Length"_s);
    EXPECT_EQ(rows.headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
              (Qt::AlignRight | Qt::AlignVCenter).toInt());
    EXPECT_FALSE(rows.headerData(2, Qt::Horizontal, Qt::DisplayRole).isValid());
    EXPECT_FALSE(rows.headerData(-1, Qt::Horizontal, Qt::DisplayRole).isValid());
    EXPECT_FALSE(rows.headerData(0, Qt::Vertical, Qt::DisplayRole).isValid());
}

class NameList : public CLCCListCtrl {
public:
    NameList() {
        static constexpr int kWidths[] = {150, 60};
        static constexpr const char16_t* kWidest[] = {u"", u"99999"};
        SetUpColumns(rows, 0, kWidths, kWidest);
    }
    NameRows rows;
};

enum : int { kLarge = 901, kSmall, kList, kDetail, kByName, kByLength, kRename, kDelete, kView, kGet, kRun };
constexpr SortCommand kSorts[] = {{kByName, 0, u"By Name"}, {kByLength, 1, u"By Length"}};
constexpr FileListCommands kCommands = {.largeIcons = kLarge,
                                        .smallIcons = kSmall,
                                        .list = kList,
                                        .detail = kDetail,
                                        .sorts = kSorts,
                                        .rename = kRename,
                                        .remove = kDelete,
                                        .view = kView,
                                        .transfer = kGet,
                                        .run = kRun};

// A pane that records what the shared part asks of it.
class TestPane : public CFileListView {
public:
    TestPane() : CFileListView(std::make_unique<NameList>(), kCommands, 0, nullptr) {}

    NameList& List() { return static_cast<NameList&>(DetailList()); }
    QAbstractItemView& Shown() { return CurrentView(); }
    void SetEditing(bool editing) { editing_ = editing; }
    int OpenCommand(int dbClickType) const { return FileOpenCommand(dbClickType); }

    bool HandlesCommand(int) const override { return true; }
    bool IsCommandEnabled(int id) const override { return id != kGet; }
    void RunCommand(int id) override {
        if (IsCommandEnabled(id) && !RunViewOrSortCommand(id)) {
            ran.push_back(id);
        }
    }

    std::vector<int> ran;
    int opened = 0;
    std::vector<QModelIndex> doubleClicks;

protected:
    std::span<const pane_menu::Entry> MenuTable(bool) const override {
        using namespace pane_menu;
        static constexpr Entry kTable[] = {
            Item(kRename, u"Re&name"), kSeparator, kViewModesSub, kArrangeSub, Sub(u"&More"),
            Item(kGet, u"&Get"),       kEndSub};
        return kTable;
    }
    bool HasItemSelection() const override { return false; }
    void OpenSelectedItem() override { ++opened; }
    void OnDoubleClicked(const QModelIndex& index) override { doubleClicks.push_back(index); }
    void OnLabelEditClosed(QWidget*, int) override {}
    void TakeDrag(QDropEvent& event) override { event.ignore(); }
};

class FileListViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        QStringList names;
        for (int i = 0; i < 400; ++i) {
            names.append(u"item%1"_s.arg(i, 3, 10, QChar(u'0')));
        }
        pane_.List().rows.SetNames(names, 0, true);
        pane_.resize(400, 300);
        pane_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane_));
    }

    TestPane pane_;
};

TEST_F(FileListViewTest, MenusWriteOutTheViewAndArrangeSubmenus) {
    pane_.RunCommand(kSmall);
    EXPECT_EQ(pane_.ViewMode(), kSmall);
    const std::unique_ptr<QMenu> menu = pane_.BuildContextMenu(true);
    EXPECT_EQ(test::MenuLines(*menu),
              (QStringList{u"Re&name"_s, u"-"_s, u"&View"_s, u"  Lar&ge Icons"_s, u"  S&mall Icons [x]"_s,
                           u"  &List"_s, u"  &Detail"_s, u"&Arrange Icons"_s, u"  By Name"_s,
                           u"  By Length"_s, u"&More"_s, u"  &Get (off)"_s}));
    // Choosing an entry runs its command on the pane.
    menu->actions()[3]->menu()->actions()[1]->trigger();
    EXPECT_EQ(pane_.SortColumn(), 1);
    menu->actions()[0]->trigger();
    EXPECT_EQ(pane_.ran, std::vector<int>{kRename});
}

TEST_F(FileListViewTest, SortingScrollsTheCurrentRowIntoView) {
    NameRows& rows = pane_.List().rows;
    pane_.List().setCurrentIndex(rows.index(0, 0));
    pane_.RunCommand(kByName);
    pane_.RunCommand(kByName); // a sort command sorts ascending, whatever went before
    EXPECT_TRUE(pane_.SortAscending());

    emit pane_.List().header()->sectionClicked(0); // descending: the current item goes to the end
    EXPECT_FALSE(pane_.SortAscending());
    EXPECT_EQ(pane_.List().header()->sortIndicatorOrder(), Qt::DescendingOrder);
    const QModelIndex current = pane_.List().currentIndex();
    EXPECT_EQ(current.row(), rows.rowCount() - 1);
    EXPECT_TRUE(pane_.List().viewport()->rect().intersects(pane_.List().visualRect(current)));
}

TEST_F(FileListViewTest, ListKeysRunThePaneCommandsUnlessANameIsEdited) {
    QWidget& list = pane_.Shown();
    QTest::keyClick(&list, Qt::Key_F2);
    QTest::keyClick(&list, Qt::Key_Delete);
    QTest::keyClick(&list, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(&list, Qt::Key_Delete, Qt::ControlModifier); // not a plain key
    EXPECT_EQ(pane_.ran, (std::vector<int>{kRename, kDelete}));
    EXPECT_EQ(pane_.opened, 1);

    pane_.SetEditing(true);
    QTest::keyClick(&list, Qt::Key_F2);
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(pane_.ran.size(), 2u);
    EXPECT_EQ(pane_.opened, 1);

    EXPECT_EQ(pane_.OpenCommand(0), kRun);
    EXPECT_EQ(pane_.OpenCommand(1), kView);
    EXPECT_EQ(pane_.OpenCommand(2), kGet);
    EXPECT_EQ(pane_.OpenCommand(7), kRun);
}

TEST_F(FileListViewTest, DoubleClicksTellTheRowUnderTheMouse) {
    pane_.List().rows.SetNames({u"one"_s, u"two"_s}, 0, true);
    QWidget* viewport = pane_.List().viewport();
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, pane_.List().RowRect(1).center());
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(10, viewport->height() - 5));
    QTest::mouseDClick(viewport, Qt::RightButton, {}, pane_.List().RowRect(0).center());
    ASSERT_EQ(pane_.doubleClicks.size(), 2u);
    EXPECT_EQ(pane_.doubleClicks[0].row(), 1);
    EXPECT_FALSE(pane_.doubleClicks[1].isValid());
}

TEST_F(FileListViewTest, EveryFocusMoveIntoAPartIsAGain) {
    QLineEdit outside;
    outside.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&outside));
    QApplication::processEvents();
    QApplication::setActiveWindow(&pane_);
    pane_.PathCombo().setFocus();
    QApplication::processEvents();
    QSignalSpy gained(&pane_, &CFileListView::focusGained);
    pane_.List().setFocus();
    QApplication::processEvents();
    pane_.UpButton().setFocus(); // within the pane: the main window may have made another pane active
    QApplication::processEvents();
    EXPECT_EQ(gained.count(), 2);

    QApplication::setActiveWindow(&outside);
    outside.setFocus();
    QApplication::processEvents();
    EXPECT_EQ(gained.count(), 2);
}

} // namespace
} // namespace tessaly
