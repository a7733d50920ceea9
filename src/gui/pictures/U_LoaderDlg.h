#pragma once
// "Thumbnails": a small modal progress dialog that has the thumbnail strip drawn slot by slot.
// Its worker thread only sequences the slots; every drawing step and every progress update runs
// on the user-interface thread through the dispatcher. The dialog cannot be closed while it
// works and closes by itself when the last slot is drawn.
#include <QDialog>
#include <array>
#include <memory>

#include "platform/image/U_Bitmap32.h"

class QProgressBar;
class TFrameServer;
class TImageControl;
class TLoaderThd;
class TQtDispatcher;
class TThread;

class TLoaderDlg : public QDialog {
    Q_OBJECT

public:
    explicit TLoaderDlg(QWidget* parent = nullptr);
    ~TLoaderDlg() override;

    // The pictures for slot 0 and for the last slot to draw; slots 0 .. LastIndex - FirstIndex
    // are drawn.
    int FirstIndex = 0;
    int LastIndex = -1;
    // Borrowed from the main window, set before Execute: the frame server that draws picture k
    // into 100 x 75, and the five slots with their Tag (the picture shown, -1 for none).
    TFrameServer* ThumbServer = nullptr;
    std::array<TImageControl*, 5> ThumbSlots{};

    // Draws the slots and returns when all are drawn (or the first that failed). Always true.
    bool Execute();
    bool Running() const { return running_; }

    // Runs on the user-interface thread: draws picture FirstIndex + slot unless the slot shows
    // it already. A picture that cannot be read leaves the slot hidden and throws.
    void DrawSlot(int slot, TBitmap32& bitmap);

    QProgressBar* pb = nullptr;

    // Escape ends here: refused while the thread runs.
    void reject() override;

protected:
    // FormCloseQuery: every close request (close box, Alt+F4) is refused while the thread
    // runs.
    void closeEvent(QCloseEvent* event) override;

private:
    void LoaderDone(TThread& thread);
    void RunPass();

    TQtDispatcher* dispatcher_ = nullptr;
    std::unique_ptr<TLoaderThd> thread_;
    bool running_ = false;
    bool executing_ = false; // inside Execute, until its pass has left its loop
    bool passAgain_ = false; // a pass asked for meanwhile
};
