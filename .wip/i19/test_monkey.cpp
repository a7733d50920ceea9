// The monkey: a seeded random walk through the real window, offscreen. It clicks enabled
// buttons and menu items, types into fields, drops good and hostile files, opens and closes the
// dialogs, presses "Go !" and Cancel at random moments and switches the language. It fails on
// an abort, on the UI thread blocked for more than 5 s, or on a file of the user's changed that
// no action asked to change, and prints the seed and its last actions; the same seed walks the
// same way. MORVANTA_MONKEY_SECONDS sets how long (60 by default), MORVANTA_MONKEY_SEED the seed.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "HostileFiles.h"
#include "app/U_Application.h"
#include "lang/U_LangList.h"
#include "platform/os/U_Settings.h"
#include "test_gen_control_fixture.h"

namespace guitest {
namespace {

namespace fs = std::filesystem;

// The last actions, kept where a signal handler can print them.
struct TJournal {
    static constexpr int Size = 40;
    std::array<std::array<char, 160>, Size> Lines{};
    std::atomic<int> Count{0};
    unsigned Seed = 0;

    void Add(const std::string& line) {
        auto& slot = Lines[static_cast<std::size_t>(Count.load() % Size)];
        std::snprintf(slot.data(), slot.size(), "%s", line.c_str());
        ++Count;
    }
    // Async-signal-safe.
    void Print() const {
        char head[96];
        const int n = std::snprintf(head, sizeof head, "monkey seed %u, last actions of %d:\n",
                                    Seed, Count.load());
        [[maybe_unused]] ssize_t w = write(2, head, static_cast<std::size_t>(n));
        const int count = Count.load();
        for (int i = std::max(0, count - Size); i < count; ++i) {
            const auto& line = Lines[static_cast<std::size_t>(i % Size)];
            w = write(2, "  ", 2);
            w = write(2, line.data(), strnlen(line.data(), line.size()));
            w = write(2, "\n", 1);
        }
    }
};

TJournal* journal = nullptr; // for the signal handler only

void OnFatalSignal(int signal) {
    if (journal) journal->Print();
    ::signal(signal, SIG_DFL);
    raise(signal);
}

class TMonkeyTest : public TGenControlTest {
protected:
    TMonkeyTest() {
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

    std::string AnyFile() {
        return Pool[static_cast<std::size_t>(Pick(static_cast<int>(Pool.size())))];
    }

    // One action inside the dialog on top.
    void ActIn(QWidget* dialog) {
        const std::string where = NameOf(dialog) + ": ";
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
            if (Usable(w) && (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                              qobject_cast<QSpinBox*>(w) || qobject_cast<QTableWidget*>(w) ||
                              qobject_cast<QListWidget*>(w)))
                widgets << w;
        QWidget* w = PickOf(widgets);
        if (!w) return;
        Act(where, w);
    }

    void Act(const std::string& where, QWidget* w) {
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            Journal.Add(where + "click " + NameOf(b));
            b->click();
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            const std::string text = Chance(50) ? std::to_string(Pick(100000)) : "Zoë ✓ \t<>";
            Journal.Add(where + "type into " + NameOf(e));
            if (!e->isReadOnly()) e->setText(QString::fromStdString(text));
        } else if (auto* s = qobject_cast<QSpinBox*>(w)) {
            const int value = s->minimum() - 5 + Pick(s->maximum() - s->minimum() + 10);
            Journal.Add(where + "set " + NameOf(s) + " to " + std::to_string(value));
            s->setValue(value);
        } else if (auto* t = qobject_cast<QTableWidget*>(w)) {
            if (t->rowCount() == 0) return;
            const int row = Pick(t->rowCount());
            Journal.Add(where + "select row " + std::to_string(row));
            t->setCurrentCell(row, 0);
        } else if (auto* l = qobject_cast<QListWidget*>(w)) {
            if (l->count() == 0) return;
            const int row = Pick(l->count());
            Journal.Add(where + "choose " + std::to_string(row));
            l->setCurrentRow(row);
            emit l->itemClicked(l->item(row));
        }
    }

    // One action on the main window.
    void ActOnWindow() {
        TMainDlg& w = W();
        switch (Pick(10)) {
        case 0:
        case 1: {
            QList<QWidget*> controls;
            for (QWidget* c : w.findChildren<QWidget*>())
                if (Usable(c) && (qobject_cast<QAbstractButton*>(c) || qobject_cast<QSpinBox*>(c)))
                    controls << c;
            if (QWidget* c = PickOf(controls)) Act("window: ", c);
            break;
        }
        case 2: {
            QList<QAction*> actions;
            for (QAction* a : w.menuBar()->findChildren<QAction*>())
                if (a->isEnabled() && !a->isSeparator() && !a->menu() && a != w.Quit1) actions << a;
            if (QAction* a = PickOf(actions)) {
                Journal.Add("menu " + NameOf(a));
                a->trigger();
            }
            break;
        }
        case 3: {
            if (!w.codecs_cmb->isEnabled()) break;
            QComboBox* box = Chance(50) ? w.codecs_cmb : w.res_cmb;
            const int index = Pick(box->count());
            Journal.Add("choose " + NameOf(box) + " " + std::to_string(index));
            box->setCurrentIndex(index);
            break;
        }
        case 4: {
            std::vector<std::string> files;
            for (int n = 1 + Pick(3); n > 0; --n) files.push_back(AnyFile());
            Journal.Add("drop " + files.front() + (files.size() > 1 ? " and more" : ""));
            w.DropList = files;
            w.FilesDropped();
            break;
        }
        case 5:
            Journal.Add("Go");
            if (w.go_btn->isEnabled()) w.go_btn->click();
            break;
        case 6:
            Journal.Add("Cancel");
            if (w.cancel_btn->isEnabled()) w.cancel_btn->click();
            break;
        case 7: {
            if (!w.langue || w.langue->Languages().empty()) break;
            const int index = Pick(static_cast<int>(w.langue->Languages().size()));
            Journal.Add("language " + std::to_string(index));
            w.langue->SetLanguageIndex(index);
            break;
        }
        case 8:
            Journal.Add("check " + std::to_string(Pick(3)));
            for (QCheckBox* c : {w.dynamics_chk, w.xfade_chk, w.osd_chk})
                if (Usable(c) && Chance(40)) c->click();
            break;
        default:
            // Keep a render possible: pictures, an output and a short time.
            if (w.PicturePaths.Empty() && w.addphotos_btn->isEnabled()) {
                Journal.Add("add the good pictures");
                w.AddPictureEntries(GoodPictures);
            }
            if (w.out_txt->text().isEmpty()) w.out_txt->setText(QString::fromStdString(Out()));
            break;
        }
    }

    void Step() {
        if (Stopping) return;
        ++Steps;
        // The next step fires inside any dialog this one opens.
        QTimer::singleShot(Pick(15), &W(), [this] { Step(); });
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible())
            ActIn(modal);
        else
            ActOnWindow();
        if (Steps % 50 == 0) CheckUserFiles();
    }

    void CheckUserFiles() {
        if (Snapshot(UserFolder) != UserFiles) {
            Journal.Print();
            ADD_FAILURE() << "a file of the user's changed (seed " << Journal.Seed << ")";
            Stopping = true;
        }
    }

    TJournal Journal;
    std::mt19937 random;
    std::vector<std::string> Pool, GoodPictures;
    std::string UserFolder;
    std::map<std::string, Bytes> UserFiles;
    int Steps = 0;
    bool Stopping = false;
};

TEST_F(TMonkeyTest, RandomWalkThroughTheWindow) {
    const char* secondsText = std::getenv("MORVANTA_MONKEY_SECONDS");
    const int seconds = secondsText ? std::atoi(secondsText) : 60;
    const char* seedText = std::getenv("MORVANTA_MONKEY_SEED");
    Journal.Seed = seedText ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10))
                            : std::random_device{}();
    random.seed(Journal.Seed);
    std::printf("monkey seed %u for %d s (MORVANTA_MONKEY_SEED=%u repeats it)\n", Journal.Seed,
                seconds, Journal.Seed);
    std::fflush(stdout);
    journal = &Journal;
    for (int s : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) signal(s, OnFatalSignal);

    UserFolder = Dir.File("user");
    Pool = WriteHostileFiles(UserFolder);
    for (int i = 0; i < 3; ++i)
        GoodPictures.push_back(Bmp("user/good" + std::to_string(i) + ".bmp"));
    GoodPictures.push_back(Jpeg("user/good.jpg"));
    const std::string song = Dir.File("user/good.mp3");
    WriteMp3(song, 200);
    Pool.insert(Pool.end(), GoodPictures.begin(), GoodPictures.end());
    Pool.push_back(song);
    UserFiles = Snapshot(UserFolder);

    // Open dialogs choose from the files; save dialogs write into the output folder.
    fs::create_directories(Dir.File("out"));
    FileDialogHooks().Run = [this](const TFileDialogRequest& request) -> QStringList {
        if (Chance(20)) return {};
        if (request.Mode == TFileDialogMode::Save)
            return {QString::fromStdString(
                Dir.File("out/saved" + std::to_string(Pick(3)) + (Chance(50) ? ".mrv" : ".avi")))};
        return {QString::fromStdString(AnyFile())};
    };

    Prepare(3, 300, 10);
    W().show();
    // The UI thread beats; a watchdog fails the test when it stops for more than 5 s.
    std::atomic<std::int64_t> beat{0};
    const auto now = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
    beat = now();
    QTimer heart;
    QObject::connect(&heart, &QTimer::timeout, [&] { beat = now(); });
    heart.start(50);
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        while (!done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (now() - beat > 5000) {
                Journal.Print();
                std::fprintf(stderr, "the UI thread was blocked for more than 5 s\n");
                std::_Exit(3);
            }
        }
    });

    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(0, &W(), [this] { Step(); });
    while (clock.elapsed() < seconds * 1000LL && !Stopping)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    // Wind down: no more steps, every dialog closed, the run stopped.
    Stopping = true;
    for (int i = 0; i < 2000 && (QApplication::activeModalWidget() || W().Running()); ++i) {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            if (auto* d = qobject_cast<QDialog*>(modal)) d->reject();
        }
        if (W().Running()) W().cancel_btn->click();
        Pump(10);
    }
    EXPECT_FALSE(W().Running());
    CheckUserFiles();
    std::printf("monkey: %d steps, %zu messages\n", Steps, Shell.Boxes.size());
    Window.reset();
    done = true;
    watchdog.join();
    ResetFileDialogHooks();
    journal = nullptr;
    if (HasFailure()) Journal.Print();
}

} // namespace
} // namespace guitest
