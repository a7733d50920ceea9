// The monkey: a seeded random walk through the real window, offscreen. It clicks enabled
// buttons and menu items, types into fields, drops good and hostile files, opens and closes the
// dialogs, presses "Go !" and Cancel at random moments and switches the language, and ends by
// asking the program to quit from wherever it is. It fails on an abort, on the UI thread blocked
// for more than 5 s, on a file of the user's changed that no action asked to change, or on a
// quit that leaves a dialog or a run behind, and prints the seed and its last actions; the same
// seed makes the same choices (a render's progress may still fall at other steps).
// MORVANTA_MONKEY_SECONDS sets how long (60 by default), MORVANTA_MONKEY_SEED the seed.
#include <gtest/gtest.h>
#include <signal.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>

#include "HostileFiles.h"
#include "MonkeyWatch.h"
#include "app/U_Application.h"
#include "lang/U_LangList.h"
#include "test_gen_control_fixture.h"

namespace guitest {
namespace {

namespace fs = std::filesystem;

class TMonkeyTest : public TGenControlTest {
protected:
    TMonkeyTest() {
        // The language files beside the program, so that the language can be switched.
        const fs::path built = fs::path(MORVANTA_EXE).parent_path();
        for (const auto& f : fs::directory_iterator(built))
            if (f.path().extension() == ".SPK" &&
                f.path().filename().string().rfind("MRV_0", 0) == 0)
                fs::copy_file(f.path(), fs::path(ExeFolder) / f.path().filename());
    }

    int Pick(int n) { return n <= 0 ? 0 : static_cast<int>(random() % static_cast<unsigned>(n)); }
    bool Chance(int percent) { return Pick(100) < percent; }
    template <typename T> T* PickOf(const QList<T*>& items) {
        return items.isEmpty() ? nullptr : items[Pick(static_cast<int>(items.size()))];
    }
    static std::string NameOf(QObject* o) {
        return o->objectName().isEmpty() ? o->metaObject()->className()
                                         : o->objectName().toStdString();
    }
    static bool Usable(QWidget* w) { return w->isEnabled() && w->isVisible(); }
    static bool Actionable(QWidget* w) {
        return qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
               qobject_cast<QSpinBox*>(w) || qobject_cast<QComboBox*>(w) ||
               qobject_cast<QTableWidget*>(w) || qobject_cast<QListWidget*>(w);
    }

    std::string AnyFile() {
        return Pool[static_cast<std::size_t>(Pick(static_cast<int>(Pool.size())))];
    }
    std::string Typed() {
        switch (Pick(4)) {
        case 0:
            return std::to_string(Pick(100000) - 50);
        case 1:
            return "Zoë ✓ \t<>";
        case 2:
            return std::string(static_cast<std::size_t>(Pick(300)), 'x');
        default:
            return "";
        }
    }

    // One action inside the dialog on top.
    void ActIn(QWidget* dialog) {
        const std::string where = NameOf(dialog) + ": ";
        ++DialogsSeen[NameOf(dialog)];
        if (dialog->objectName() == "LoaderDlg") return; // closes by itself
        if (Chance(25)) {
            Journal.Add(where + "close");
            if (auto* d = qobject_cast<QDialog*>(dialog))
                d->reject();
            else
                dialog->close();
            return;
        }
        QList<QWidget*> widgets;
        for (QWidget* w : dialog->findChildren<QWidget*>())
            if (Usable(w) && Actionable(w)) widgets << w;
        if (QWidget* w = PickOf(widgets)) Act(where, w);
    }

    void Act(const std::string& where, QWidget* w) {
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            Journal.Add(where + "click " + NameOf(b));
            b->click();
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            if (e->isReadOnly()) return;
            const std::string text = Typed();
            Journal.Add(where + "type \"" + text.substr(0, 40) + "\" into " + NameOf(e));
            e->setText(QString::fromStdString(text));
            if (Chance(30)) emit e->editingFinished();
        } else if (auto* s = qobject_cast<QSpinBox*>(w)) {
            const int value = s->minimum() - 5 + Pick(s->maximum() - s->minimum() + 10);
            Journal.Add(where + "set " + NameOf(s) + " to " + std::to_string(value));
            s->setValue(value);
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            if (c->count() == 0) return;
            const int index = Pick(c->count());
            Journal.Add(where + "choose " + std::to_string(index) + " in " + NameOf(c));
            c->setCurrentIndex(index);
        } else if (auto* t = qobject_cast<QTableWidget*>(w)) {
            if (t->rowCount() == 0) return;
            const int row = Pick(t->rowCount());
            Journal.Add(where + "select row " + std::to_string(row) + " of " + NameOf(t));
            t->setCurrentCell(row, 0);
            emit t->cellClicked(row, 0);
        } else if (auto* l = qobject_cast<QListWidget*>(w)) {
            if (l->count() == 0) return;
            const int row = Pick(l->count());
            Journal.Add(where + "choose row " + std::to_string(row) + " of " + NameOf(l));
            l->setCurrentRow(row);
            emit l->itemClicked(l->item(row));
        }
    }

    void Drop(TMainDlg& w) {
        std::vector<std::string> files;
        for (int n = Chance(70) ? 1 : 2 + Pick(3); n > 0; --n) files.push_back(AnyFile());
        Journal.Add("drop " + fs::path(files.front()).filename().string() +
                    (files.size() > 1 ? " and " + std::to_string(files.size() - 1) + " more" : ""));
        ++Counts["drop"];
        // As the window system delivers it, through the application's notify.
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& f : files) urls << QUrl::fromLocalFile(QString::fromStdString(f));
        data.setUrls(urls);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &drop);
    }

    // One action on the main window.
    void ActOnWindow() {
        TMainDlg& w = W();
        switch (Pick(12)) {
        case 0:
        case 1:
        case 2: {
            QList<QWidget*> controls;
            for (QWidget* c : w.findChildren<QWidget*>())
                if (Usable(c) && Actionable(c) && c != w.go_btn && c != w.cancel_btn) controls << c;
            if (QWidget* c = PickOf(controls)) Act("window: ", c);
            ++Counts["control"];
            break;
        }
        case 3:
        case 4: {
            QList<QAction*> actions;
            for (QAction* a : w.menuBar()->findChildren<QAction*>())
                if (a->isEnabled() && !a->isSeparator() && !a->menu() && a != w.Quit1) actions << a;
            if (QAction* a = PickOf(actions)) {
                Journal.Add("menu " + NameOf(a));
                ++Counts["menu"];
                a->trigger();
            }
            break;
        }
        case 5:
        case 6:
            Drop(w);
            break;
        case 7:
            Journal.Add("Go");
            if (w.go_btn->isEnabled()) {
                ++Counts["Go"];
                w.go_btn->click();
            }
            break;
        case 8:
            if (w.cancel_btn->isEnabled()) {
                Journal.Add("Cancel");
                ++Counts["Cancel"];
                w.cancel_btn->click();
            }
            break;
        case 9: {
            if (!w.langue || w.langue->Languages().empty()) break;
            const int index = Pick(static_cast<int>(w.langue->Languages().size()));
            Journal.Add("language " + std::to_string(index));
            ++Counts["language"];
            w.langue->SetLanguageIndex(index);
            break;
        }
        default:
            // Keep a render possible now and then: good pictures, an output, a short time.
            if (w.Running()) break;
            if (w.PicturePaths.Count() < 2 || Chance(20)) {
                Journal.Add("add the good pictures");
                w.AddPictureEntries(GoodPictures);
            }
            if (Chance(30)) {
                Journal.Add("output " + Out() + ", short times");
                w.out_txt->setText(QString::fromStdString(Out()));
                w.time_txt->setValue(200);
                w.FPS_txt->setValue(10);
                w.res_cmb->setCurrentText("320x240");
            }
            break;
        }
    }

    void Step() {
        if (Stopping) return;
        if (Clock.elapsed() >= Seconds * 1000LL) return Quit();
        ++Steps;
        // The next step fires inside any dialog this one opens.
        QTimer::singleShot(Pick(15), &W(), [this] { Step(); });
        Shell.Answer = Chance(50) ? 6 : 7; // Yes or No to any question
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible())
            ActIn(modal);
        else
            ActOnWindow();
        if (W().Running()) RunSeen = true;
        if (Steps % 50 == 0) CheckUserFiles();
    }

    // The walk ends as a session's end does, from wherever it is: dialogs open, a run going.
    void Quit() {
        Stopping = true;
        QWidget* modal = QApplication::activeModalWidget();
        QuitState = std::string(modal ? "over " + NameOf(modal) : "no dialog open") +
                    (W().Running() ? ", a run going" : "");
        BoxesAtQuit = Shell.Boxes.size();
        // Each way the program is asked to end.
        switch (Pick(3)) {
        case 0:
            QuitState = "by the application's quit, " + QuitState;
            QCoreApplication::quit();
            break;
        case 1:
            QuitState = "by SIGTERM, " + QuitState;
            raise(SIGTERM);
            break;
        default:
            QuitState = "as the session ends, " + QuitState;
            MorvantaApp()->RequestQuit();
            break;
        }
        Journal.Add("quit " + QuitState);
    }

    void CheckUserFiles() {
        const auto now = Snapshot(UserFolder);
        if (now == UserFiles) return;
        std::string changed;
        for (const auto& [path, bytes] : UserFiles)
            if (!now.count(path) || now.at(path) != bytes) changed += " " + path;
        for (const auto& [path, bytes] : now)
            if (!UserFiles.count(path)) changed += " " + path + " (new)";
        Journal.Print();
        ADD_FAILURE() << "a file of the user's changed (seed " << Journal.Seed << "):" << changed;
        Quit();
    }

    TJournal Journal;
    std::mt19937 random;
    std::vector<std::string> Pool, GoodPictures;
    std::string UserFolder;
    std::map<std::string, Bytes> UserFiles;
    std::map<std::string, int> Counts, DialogsSeen;
    std::atomic<int> Steps{0};
    QElapsedTimer Clock;
    int Seconds = 60;
    std::size_t BoxesAtQuit = 0;
    std::string QuitState;
    std::atomic<bool> Stopping{false};
    bool RunSeen = false;
};

TEST_F(TMonkeyTest, RandomWalkThroughTheWindow) {
    const char* secondsText = std::getenv("MORVANTA_MONKEY_SECONDS");
    const int seconds = secondsText ? std::max(1, std::atoi(secondsText)) : 60;
    const char* seedText = std::getenv("MORVANTA_MONKEY_SEED");
    Journal.Seed = seedText ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10))
                            : std::random_device{}();
    random.seed(Journal.Seed);
    std::printf("monkey seed %u for %d s (MORVANTA_MONKEY_SEED=%u repeats it)\n", Journal.Seed,
                seconds, Journal.Seed);
    std::fflush(stdout);
    // Names typed into fields are relative to the test's folder, never to the build's.
    const fs::path startFolder = fs::current_path();
    fs::current_path(Dir.Path());

    UserFolder = Dir.File("user");
    Pool = WriteHostileFiles(UserFolder);
    for (int i = 0; i < 3; ++i)
        GoodPictures.push_back(Bmp("user/good" + std::to_string(i) + ".bmp", 0x203040u * i));
    GoodPictures.push_back(Jpeg("user/good.jpg"));
    const std::string song = Dir.File("user/good.mp3");
    WriteMp3(song, 200);
    Pool.insert(Pool.end(), GoodPictures.begin(), GoodPictures.end());
    Pool.push_back(song);
    UserFiles = Snapshot(UserFolder);

    // Open dialogs choose from the files; save dialogs write into the output folder.
    fs::create_directories(Dir.File("out"));
    FileDialogHooks().Run = [this](const TFileDialogRequest& request) -> QStringList {
        ++Counts["file dialog"];
        if (Chance(20)) return {};
        if (request.Mode == TFileDialogMode::Save)
            return {QString::fromStdString(
                Dir.File("out/saved" + std::to_string(Pick(3)) + (Chance(50) ? ".mrv" : ".avi")))};
        QStringList files{QString::fromStdString(AnyFile())};
        if (request.Mode == TFileDialogMode::OpenMany)
            for (int n = Pick(4); n > 0; --n) files << QString::fromStdString(AnyFile());
        return files;
    };

    Prepare(3, 200, 10);
    W().show();
    const int caughtBefore = MorvantaApp()->ErrorsCaught();
    // Ends the process on a blocked UI thread, a walk that stops moving, or a quit that never
    // ends (a loop nobody can leave).
    TMonkeyWatch watch(
        Journal, [this] { return Steps.load(); }, [this] { return !Stopping; }, seconds + 60);
    Seconds = seconds;
    Clock.start();
    QTimer::singleShot(0, &W(), [this] { Step(); });
    const int code = QApplication::exec();
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(W().Running()) << "a run stops when the program is asked to end";
    EXPECT_FALSE(W().isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "every dialog closed";
    EXPECT_EQ(Shell.Boxes.size(), BoxesAtQuit) << "nothing is asked of a user who is leaving";
    CheckUserFiles();
    std::printf("monkey: %d steps, %zu messages, a run seen: %s, quit %s\n  actions:", Steps.load(),
                Shell.Boxes.size(), RunSeen ? "yes" : "no", QuitState.c_str());
    for (const auto& [what, n] : Counts) std::printf(" %s %d,", what.c_str(), n);
    std::printf("\n  dialogs:");
    for (const auto& [name, n] : DialogsSeen) std::printf(" %s %d,", name.c_str(), n);
    // What the user was told, most often first: a message that should not be there shows here.
    std::map<std::string, int> texts;
    for (const auto& box : Shell.Boxes) {
        std::string text = box.Text.section('\n', 0, 1).replace('\n', " / ").toStdString();
        for (const std::string& file : Pool) // one line for each kind, whatever the file
            if (auto at = text.find(file); at != std::string::npos)
                text.replace(at, file.size(), "FILE");
        ++texts[text];
    }
    std::vector<std::pair<int, std::string>> often;
    for (const auto& [text, n] : texts) often.emplace_back(-n, text);
    std::sort(often.begin(), often.end());
    std::printf("\n  errors that reached the last line of defence: %d\n  messages:\n",
                MorvantaApp()->ErrorsCaught() - caughtBefore);
    for (std::size_t i = 0; i < often.size() && i < 15; ++i)
        std::printf("  %5d  %s\n", -often[i].first, often[i].second.substr(0, 160).c_str());
    std::printf("  Qt's warnings:\n");
    for (const auto& [text, n] : watch.Warnings()) std::printf("  %5d  %s\n", n, text.c_str());
    Window.reset();
    ResetFileDialogHooks();
    fs::current_path(startFolder);
    if (HasFailure()) Journal.Print();
}

} // namespace
} // namespace guitest
