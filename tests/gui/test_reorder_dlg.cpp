// The Organize dialog over real lists, a real thumbnail frame server and real picture files.
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <utility>
#include <vector>

#include "TestPictures.h"
#include "TestSupport.h"
#include "pictures/U_ReorderDlg.h"
#include "platform/U_Shell.h"
#include "platform/base/U_StringList.h"
#include "video/U_FrameServer.h"

namespace {

void Key(QWidget* target, Qt::Key key) {
    QTest::keyClick(target, key);
}

class ReorderDlgTest : public testing::Test {
protected:
    void SetUp() override {
        ShellHooks().MessageBox = [this](QWidget*, const QString& text, const QString&, bool,
                                         int kind) {
            Messages.push_back({text, kind});
            return idOk;
        };
        Dlg.PicturePaths = &Paths;
        Dlg.PictureCaptions = &Captions;
        Dlg.ListChanged = [this] { ++ListChangedCalls; };
    }
    void TearDown() override { ResetShellHooks(); }

    // n small pictures "p0.bmp" ... with captions "c0" ..., and the 100 x 75 frame server.
    void MakePictures(int n) {
        for (int i = 0; i < n; ++i) {
            const std::string path = Dir.File("p" + std::to_string(i) + ".bmp");
            test::WriteBmp24(path, test::MakeSolid(8, 6, 0x102030u * static_cast<unsigned>(i + 1)));
            Paths.Add(path);
            Captions.Add("c" + std::to_string(i));
        }
        Server = std::make_unique<TFrameServer>(Paths, &Captions, 1, 75, 100);
        Dlg.ThumbServer = Server.get();
    }

    // Runs Execute with `inside` called once the dialog is open; false when it never opened.
    template <class F> bool ExecuteWith(F inside) {
        bool opened = false;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            opened = Dlg.isVisible();
            inside();
            if (Dlg.isVisible()) Dlg.reject();
        });
        timer.start(0);
        Dlg.Execute();
        timer.stop();
        return opened;
    }

    std::vector<QString> Column(int column) const {
        std::vector<QString> cells;
        for (int row = 0; row < Dlg.lst->rowCount(); ++row)
            cells.push_back(Dlg.lst->item(row, column)->text());
        return cells;
    }
    int SelectedRow() const {
        const auto ranges = Dlg.lst->selectedRanges();
        return ranges.isEmpty() ? -1 : ranges.front().topRow();
    }
    // The list's rows agree with both lists, and "#" reads 1 ... N.
    void ExpectRowsMatchLists() const {
        ASSERT_EQ(static_cast<std::size_t>(Dlg.lst->rowCount()), Paths.Count());
        ASSERT_EQ(Captions.Count(), Paths.Count());
        for (int row = 0; row < Dlg.lst->rowCount(); ++row) {
            EXPECT_EQ(Dlg.lst->item(row, 0)->text(), QString::number(row + 1));
            EXPECT_EQ(Dlg.lst->item(row, 1)->text().toStdString(), Captions[row]);
            EXPECT_EQ(Dlg.lst->item(row, 2)->text().toStdString(), Paths[row]);
        }
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const std::string& caption : Captions.Items()) names.push_back(caption);
        return names;
    }
    bool RowVisible(int row) const {
        const QRect rect = Dlg.lst->visualItemRect(Dlg.lst->item(row, 0));
        return rect.isValid() && Dlg.lst->viewport()->rect().contains(rect);
    }

    test::TempDir Dir;
    TStringList Paths;
    TStringList Captions;
    std::unique_ptr<TFrameServer> Server;
    TReorderDlg Dlg;
    std::vector<std::pair<QString, int>> Messages;
    int ListChangedCalls = 0;
};

TEST_F(ReorderDlgTest, FormCarriesItsDesignNames) {
    EXPECT_EQ(Dlg.objectName(), "ReorderDlg");
    EXPECT_EQ(Dlg.windowTitle(), "Organize");
    for (const char* name : {"pic_grp", "lst", "sel_grp", "img", "pos_txt", "change_btn", "del_btn",
                             "txt", "shuffle_btn", "exit_btn"})
        EXPECT_NE(Dlg.findChild<QWidget*>(name), nullptr) << name;
    EXPECT_EQ(Dlg.change_btn->text(), "Move");
    EXPECT_EQ(Dlg.del_btn->text(), "Delete");
    EXPECT_EQ(Dlg.txt_lbl->text(), "Text : ");
    EXPECT_EQ(Dlg.pos_lbl->text(), "New Position");
    EXPECT_EQ(Dlg.lst->horizontalHeaderItem(2)->text(), "Photo");
}

TEST_F(ReorderDlgTest, EmptyListReturnsWithoutShowing) {
    Dlg.StartIndex = 3;
    EXPECT_FALSE(ExecuteWith([] {}));
    EXPECT_EQ(Dlg.StartIndex, -1);
    EXPECT_EQ(ListChangedCalls, 0);
}

struct MoveCase {
    int Row;
    int Position;
    std::vector<std::string> Order;
};

TEST_F(ReorderDlgTest, MoveTakesBothListsAlong) {
    const std::vector<MoveCase> cases = {
        {2, 1, {"c2", "c0", "c1", "c3", "c4"}}, // row 3 of 5 to position 1
        {0, 5, {"c1", "c2", "c3", "c4", "c0"}},
        {4, 2, {"c0", "c4", "c1", "c2", "c3"}},
        {3, 4, {"c0", "c1", "c2", "c3", "c4"}}, // its own position: nothing moves
    };
    MakePictures(5);
    for (const MoveCase& c : cases) {
        SCOPED_TRACE(c.Row);
        Paths.Assign({});
        Captions.Assign({});
        for (int i = 0; i < 5; ++i) {
            Paths.Add(Dir.File("p" + std::to_string(i) + ".bmp"));
            Captions.Add("c" + std::to_string(i));
        }
        ListChangedCalls = 0;
        Dlg.StartIndex = c.Row;
        EXPECT_TRUE(ExecuteWith([&] {
            Dlg.pos_txt->setValue(c.Position);
            Dlg.change_btn->click();
            ExpectRowsMatchLists();
            EXPECT_EQ(SelectedRow(), c.Position - 1);
            // The moved picture is shown in the panel at its new place.
            EXPECT_EQ(Dlg.sel_grp->title().toStdString(), Paths[c.Position - 1]);
            EXPECT_EQ(Dlg.pos_txt->value(), c.Position);
            EXPECT_TRUE(Dlg.img->isVisible());
        }));
        EXPECT_EQ(Names(), c.Order);
        for (std::size_t i = 0; i < 5; ++i) // pairs stay together
            EXPECT_EQ(Paths[i], Dir.File("p" + Captions[i].substr(1) + ".bmp"));
        EXPECT_EQ(ListChangedCalls, c.Row + 1 == c.Position ? 0 : 1);
    }
}

TEST_F(ReorderDlgTest, DeleteRenumbersAndLowersTheLimit) {
    MakePictures(4);
    Dlg.StartIndex = 1;
    EXPECT_TRUE(ExecuteWith([&] {
        Dlg.txt->setFocus();
        Dlg.del_btn->click();
        EXPECT_EQ(Column(0), (std::vector<QString>{"1", "2", "3"}));
        ExpectRowsMatchLists();
        EXPECT_EQ(Dlg.pos_txt->maximum(), 3);
        Dlg.pos_txt->setValue(9);
        EXPECT_EQ(Dlg.pos_txt->value(), 3);
        EXPECT_EQ(SelectedRow(), -1);
        EXPECT_FALSE(Dlg.img->isVisible());
        EXPECT_EQ(Dlg.sel_grp->title(), "");
        EXPECT_EQ(Dlg.txt->text(), "c1"); // kept, and no longer tied to any row
        Dlg.txt->setText("changed");
        Dlg.del_btn->click(); // nothing selected: nothing deleted
    }));
    EXPECT_EQ(Names(), (std::vector<std::string>{"c0", "c2", "c3"}));
    EXPECT_EQ(Paths[1], Dir.File("p2.bmp"));
    EXPECT_EQ(ListChangedCalls, 1);
}

TEST_F(ReorderDlgTest, GeneratorFollowsItsFormula) {
    std::uint32_t state = 0;
    EXPECT_EQ(TReorderDlg::Random(state, 10), 0u);
    EXPECT_EQ(state, 1u);
    state = 0xFFFFFFFFu; // becomes 4160191484, and 4160191484 x 10 / 2^32 = 9.69
    EXPECT_EQ(TReorderDlg::Random(state, 10), 9u);
    EXPECT_EQ(state, 4160191484u);
    EXPECT_EQ(TReorderDlg::Random(state, 1), 0u);
}

TEST_F(ReorderDlgTest, ShuffleMakesTheGeneratorsPermutation) {
    for (const int n : {1, 2, 7, 20}) {
        SCOPED_TRACE(n);
        Paths.Assign({});
        Captions.Assign({});
        MakePictures(n);
        const std::uint32_t seed = 0xC0FFEEu + static_cast<std::uint32_t>(n);
        // The expected order: step i takes whatever stands at i to the drawn place.
        std::vector<std::string> expected = Names();
        std::uint32_t state = seed;
        std::uint32_t draw = 0;
        for (int i = 0; i < n; ++i) {
            draw = TReorderDlg::Random(state, static_cast<std::uint32_t>(n));
            std::string moved = expected[i];
            expected.erase(expected.begin() + i);
            expected.insert(expected.begin() + draw, moved);
        }
        Dlg.StartIndex = 0;
        EXPECT_TRUE(ExecuteWith([&] {
            const QString panel = Dlg.sel_grp->title();
            Dlg.Shuffle(seed);
            ExpectRowsMatchLists();
            EXPECT_EQ(Dlg.RandSeed, state); // exactly n draws
            EXPECT_EQ(SelectedRow(), -1);
            EXPECT_EQ(Dlg.sel_grp->title(), panel); // not refreshed
            EXPECT_EQ(Dlg.pos_txt->value(), static_cast<int>(draw) + 1);
        }));
        EXPECT_EQ(Names(), expected);
        for (std::size_t i = 0; i < Paths.Count(); ++i)
            EXPECT_EQ(Paths[i], Dir.File("p" + Captions[i].substr(1) + ".bmp"));
        if (n == 1) {
            EXPECT_EQ(Names(), std::vector<std::string>{"c0"});
        }
    }
}

TEST_F(ReorderDlgTest, CaptionIsWrittenAtEveryKeystrokeUpToFiftyCharacters) {
    MakePictures(3);
    Captions.Set(2, std::string(70, 'L')); // longer, as a project file may bring it
    Dlg.StartIndex = 1;
    EXPECT_TRUE(ExecuteWith([&] {
        Dlg.txt->setFocus();
        Dlg.txt->clear();
        EXPECT_EQ(Captions[1], "");
        for (int i = 0; i < 60; ++i) {
            QTest::keyClick(Dlg.txt, 'x');
            const std::size_t typed = std::min(i + 1, 50);
            ASSERT_EQ(Captions[1], std::string(typed, 'x'));
            ASSERT_EQ(Dlg.lst->item(1, 1)->text().toStdString(), Captions[1]);
        }
        // Showing a longer caption neither cuts it nor writes it back.
        Dlg.lst->selectRow(2);
        EXPECT_EQ(Dlg.txt->text().size(), 70);
        EXPECT_EQ(Captions[2], std::string(70, 'L'));
    }));
    EXPECT_EQ(Captions[1], std::string(50, 'x'));
    EXPECT_EQ(Captions[0], "c0");
}

TEST_F(ReorderDlgTest, OpensOnTheStartRowAndScrollsToIt) {
    MakePictures(100);
    const std::vector<std::pair<int, int>> cases = {{0, 2}, {40, 42}, {96, 98}, {97, 97}, {99, 99}};
    for (const auto& [start, mustShow] : cases) {
        SCOPED_TRACE(start);
        Dlg.StartIndex = start;
        EXPECT_TRUE(ExecuteWith([&] {
            EXPECT_EQ(SelectedRow(), start);
            EXPECT_EQ(Dlg.lst->currentRow(), start);
            EXPECT_TRUE(RowVisible(mustShow));
            EXPECT_TRUE(RowVisible(start));
            EXPECT_EQ(Dlg.pos_txt->value(), start + 1);
            EXPECT_EQ(Dlg.txt->text(), QString("c%1").arg(start));
            EXPECT_TRUE(Dlg.img->isVisible());
            EXPECT_FALSE(Dlg.img->pixmap().isNull());
        }));
        EXPECT_EQ(Dlg.StartIndex, -1);
    }
    EXPECT_TRUE(Messages.empty());
}

TEST_F(ReorderDlgTest, UnreadablePreselectedPictureStillOpens) {
    MakePictures(3);
    test::WriteText(Paths[1], "not a picture");
    Dlg.StartIndex = 1;
    EXPECT_TRUE(ExecuteWith([&] {
        ASSERT_EQ(Messages.size(), 1u);
        EXPECT_EQ(Messages[0].second, mkError);
        EXPECT_EQ(SelectedRow(), 1);
        EXPECT_FALSE(Dlg.img->isVisible());
        // The panel names the broken picture, so typing goes to its own caption.
        EXPECT_EQ(Dlg.sel_grp->title().toStdString(), Paths[1]);
        EXPECT_EQ(Dlg.txt->text(), "c1");
        Key(Dlg.lst, Qt::Key_Delete);
    }));
    EXPECT_EQ(Dlg.StartIndex, -1);
    EXPECT_EQ(Names(), (std::vector<std::string>{"c0", "c2"}));
    EXPECT_EQ(Messages.size(), 1u);
}

TEST_F(ReorderDlgTest, WorksFromTheKeyboard) {
    MakePictures(5);
    Dlg.StartIndex = 0;
    EXPECT_TRUE(ExecuteWith([&] {
        // Keys go to whichever control has the focus, as typed by a user.
        Dlg.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Dlg));
        ASSERT_EQ(QApplication::focusWidget(), Dlg.lst);
        Key(Dlg.lst, Qt::Key_Down);
        Key(Dlg.lst, Qt::Key_Down);
        EXPECT_EQ(SelectedRow(), 2);
        EXPECT_EQ(Dlg.pos_txt->value(), 3); // the panel follows
        Key(Dlg.lst, Qt::Key_Up);
        EXPECT_EQ(SelectedRow(), 1);

        // Delete in the caption edit edits the caption, never the list.
        Dlg.txt->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), Dlg.txt);
        Dlg.txt->setCursorPosition(0);
        Key(QApplication::focusWidget(), Qt::Key_Delete);
        EXPECT_EQ(Paths.Count(), 5u);
        EXPECT_EQ(Captions[1], "1");

        // Delete on the list removes the selected row.
        Key(Dlg.lst, Qt::Key_Delete);
        EXPECT_EQ(Names(), (std::vector<std::string>{"c0", "c2", "c3", "c4"}));

        // A typed position and Enter move the selected picture there.
        Key(Dlg.lst, Qt::Key_Down);
        const int row = SelectedRow();
        ASSERT_GE(row, 0);
        const std::string moved = Captions[row];
        Dlg.pos_txt->selectAll();
        QTest::keyClick(Dlg.pos_txt, '4');
        Key(Dlg.pos_txt, Qt::Key_Return);
        EXPECT_EQ(Captions[3], moved);
        ExpectRowsMatchLists();

        Key(Dlg.lst, Qt::Key_Escape);
        EXPECT_FALSE(Dlg.isVisible());
    }));
}

TEST_F(ReorderDlgTest, EmptiedListLeavesEveryCommandHarmless) {
    MakePictures(3);
    Dlg.StartIndex = 2;
    EXPECT_TRUE(ExecuteWith([&] {
        for (int i = 0; i < 3; ++i) {
            Dlg.lst->selectRow(0);
            Key(Dlg.lst, Qt::Key_Delete);
        }
        EXPECT_EQ(Dlg.lst->rowCount(), 0);
        Dlg.change_btn->click();
        Dlg.del_btn->click();
        Dlg.shuffle_btn->click();
        Key(Dlg.lst, Qt::Key_Down);
        Key(Dlg.lst, Qt::Key_Delete);
        QTest::keyClick(Dlg.txt, 'x');
    }));
    EXPECT_EQ(Paths.Count(), 0u);
    EXPECT_EQ(Captions.Count(), 0u);
    EXPECT_EQ(ListChangedCalls, 1);
}

TEST_F(ReorderDlgTest, TabVisitsTheControlsInOrder) {
    const std::vector<QWidget*> expected = {Dlg.lst, Dlg.pos_txt,     Dlg.change_btn, Dlg.del_btn,
                                            Dlg.txt, Dlg.shuffle_btn, Dlg.exit_btn};
    std::vector<QWidget*> seen;
    QWidget* w = Dlg.lst;
    do {
        if (std::find(expected.begin(), expected.end(), w) != expected.end()) seen.push_back(w);
        w = w->nextInFocusChain();
    } while (w != Dlg.lst && seen.size() < expected.size());
    EXPECT_EQ(seen, expected);
}

} // namespace
