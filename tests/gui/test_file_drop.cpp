// Files dropped on the main window (real drag and drop events carrying file URLs), and the
// thumbnail strip's double-click into Organize.
#include <gtest/gtest.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTableWidget>
#include <QUrl>

#include "pictures/U_ReorderDlg.h"
#include "test_gen_control_fixture.h"

namespace guitest {
namespace {

QMimeData* FileUrls(const std::vector<std::string>& files) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const auto& file : files) urls << QUrl::fromLocalFile(QString::fromStdString(file));
    data->setUrls(urls);
    return data;
}

class TFileDropTest : public TGenControlTest {
protected:
    // What the window answers while the files are dragged over it: true for the copy cursor.
    bool DragOver(const std::vector<std::string>& files, Qt::DropActions offered) {
        std::unique_ptr<QMimeData> data(FileUrls(files));
        QDragEnterEvent enter(QPoint(200, 200), offered, data.get(), Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&W(), &enter);
        QDragMoveEvent move(QPoint(210, 200), offered, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&W(), &move);
        EXPECT_EQ(enter.isAccepted(), move.isAccepted());
        if (move.isAccepted()) {
            EXPECT_EQ(move.dropAction(), Qt::CopyAction);
        }
        return enter.isAccepted() && move.isAccepted();
    }

    // Releases the files over the window: Qt hands the drop to the widget that took the drag
    // when it entered. True when the drop was taken.
    bool Release(const std::vector<std::string>& files,
                 Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction) {
        std::unique_ptr<QMimeData> data(FileUrls(files));
        QDropEvent drop(QPointF(200, 200), offered, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&W(), &drop);
        if (drop.isAccepted()) {
            EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
        }
        EXPECT_TRUE(W().DropList.empty());
        return drop.isAccepted();
    }

    // A whole drag: in over the window, then released when the window took it.
    bool Drop(const std::vector<std::string>& files,
              Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction) {
        return DragOver(files, offered) && Release(files, offered);
    }
};

TEST_F(TFileDropTest, OneMp3BecomesTheSoundtrackAndEverythingElseGoesToThePictures) {
    struct Case {
        std::vector<std::string> Names; // dropped in this order
        bool Soundtrack;                // the first name became the soundtrack
        std::vector<std::string> Added; // the pictures added, in order
        std::vector<std::string> Refused;
    };
    const std::vector<Case> cases = {
        {{"song.mp3"}, true, {}, {}},
        {{"song.MP3"}, false, {}, {"song.MP3"}},
        {{"song.mp3", "a.jpg"}, false, {"a.jpg"}, {"song.mp3"}},
        {{"c.bmp", "a.jpg", "b.bmp"}, false, {"c.bmp", "a.jpg", "b.bmp"}, {}},
    };
    for (const Case& c : cases) {
        Prepare(0);
        std::vector<std::string> files;
        for (const auto& name : c.Names) {
            files.push_back(Dir.File(name));
            if (name.find(".mp") != std::string::npos || name.find(".MP") != std::string::npos)
                WriteMp3(files.back(), 100);
            else if (name.find(".jpg") != std::string::npos)
                Jpeg(name);
            else
                Bmp(name);
        }
        ASSERT_TRUE(Drop(files));
        EXPECT_EQ(W().sound_txt->text().toStdString(), c.Soundtrack ? files[0] : "");
        EXPECT_EQ(W().SoundDurationSec > 0, c.Soundtrack);
        std::vector<std::string> added, captions;
        for (const auto& name : c.Added) {
            added.push_back(Dir.File(name));
            captions.push_back(name);
        }
        EXPECT_EQ(Paths(), added) << "in the order delivered, not the folder's";
        EXPECT_EQ(Captions(), captions);
        const auto log = LogLines();
        for (const auto& name : c.Refused)
            EXPECT_NE(
                std::find(log.begin(), log.end(), "Error\tFile not supported : " + Dir.File(name)),
                log.end())
                << name;
        Window.reset();
    }
}

TEST_F(TFileDropTest, ASourceThatOnlyMovesGetsTheNoDropCursor) {
    Prepare(0);
    const std::string picture = Bmp("a.bmp");
    EXPECT_FALSE(DragOver({picture}, Qt::MoveAction));
    EXPECT_FALSE(Release({picture}, Qt::MoveAction)) << "nobody took the drag";
    EXPECT_TRUE(Paths().empty());
    EXPECT_TRUE(Drop({picture}, Qt::CopyAction));
    EXPECT_EQ(Paths(), std::vector<std::string>{picture});
}

TEST_F(TFileDropTest, DropsAreRefusedWhileARunIsInProgress) {
    Prepare(2, 1000, 10);
    const std::string extra = Bmp("extra.bmp");
    const std::string song = Dir.File("song.mp3");
    WriteMp3(song, 100);
    // One drag came in before the run and is released during it.
    ASSERT_TRUE(DragOver({extra}, Qt::CopyAction));
    bool lateReleaseRefused = false, dragRefused = false, songRefused = false;
    AtPosition(2, [&] {
        lateReleaseRefused = !Release({extra});
        dragRefused = !DragOver({extra}, Qt::CopyAction);
        songRefused = !Drop({song});
    });
    ASSERT_TRUE(Go());
    EXPECT_TRUE(lateReleaseRefused);
    EXPECT_TRUE(dragRefused) << "the no-drop cursor during a run";
    EXPECT_TRUE(songRefused);
    EXPECT_EQ(Paths(), Pictures) << "the list the video thread read did not change";
    EXPECT_TRUE(W().sound_txt->text().isEmpty());
    EXPECT_TRUE(Drop({extra})) << "taken again once the run has ended";
    EXPECT_EQ(Paths().back(), extra);
}

TEST_F(TFileDropTest, DoubleClickingAThumbnailOpensOrganizeOnThatPicture) {
    Prepare(7);
    W().next_btnClick();
    W().next_btnClick(); // the strip shows pictures 3 to 7
    ASSERT_EQ(W().FirstThumb, 2);
    int selected = -2;
    WhenModal([&](QWidget* dialog) {
        auto* organize = qobject_cast<TReorderDlg*>(dialog);
        if (!organize) return;
        selected = organize->lst->currentRow();
        organize->reject();
    });
    QWidget* slot = W().ThumbSlots[1];
    const QPointF at(10, 10);
    QMouseEvent click(QEvent::MouseButtonDblClick, at, slot->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(slot, &click);
    EXPECT_EQ(selected, 3) << "the second slot shows the fourth picture";
    EXPECT_EQ(W().Forms.ReorderDlg->StartIndex, -1);
}

} // namespace
} // namespace guitest
