#include "pictures/U_LoaderDlg.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QProgressBar>

#include "platform/U_Controls.h"
#include "platform/U_QtDispatcher.h"
#include "platform/os/U_Thread.h"
#include "video/U_FrameServer.h"

// One per Execute. The bitmap is the worker's, but only DrawSlot (on the user-interface thread)
// writes into it.
class TLoaderThd : public TThread {
public:
    TLoaderThd(IMainThreadDispatcher* dispatcher, TLoaderDlg& dialog)
        : TThread(dispatcher), dialog_(dialog) {}

    int FirstIndex = 0;
    int LastIndex = -1;
    int CurrentSlot = 0;

protected:
    void Execute() override {
        TBitmap32 bitmap;
        for (int v = 0; v <= LastIndex - FirstIndex; ++v) {
            // The bar shows v while slot v is drawn and reaches its maximum on the last one.
            Synchronize([this, v] { dialog_.pb->setValue(v); });
            CurrentSlot = v;
            // A picture that cannot be read ends the pass here, without a message.
            Synchronize([this, &bitmap] { dialog_.DrawSlot(CurrentSlot, bitmap); });
        }
    }

private:
    TLoaderDlg& dialog_;
};

TLoaderDlg::TLoaderDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("LoaderDlg");
    setWindowTitle("Thumbnails");
    setFont(QFont("DejaVu Sans", 8));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
    setFixedSize(258, 36);
    pb = new QProgressBar(this);
    pb->setObjectName("pb");
    pb->setGeometry(8, 8, 241, 16);
    pb->setTextVisible(false);
    pb->setRange(0, 0);
    dispatcher_ = new TQtDispatcher(this);
}

TLoaderDlg::~TLoaderDlg() = default;

bool TLoaderDlg::Execute() {
    if (running_) return true; // one pass at a time; the one running draws the strip
    // The last pass has ended but is still leaving its loop: this one runs right after it. Run
    // now, its exec would return at once (the dialog's loop is still on the stack) and the
    // strip would load behind no dialog; started from the end handler, the old thread would be
    // joined while it waits for that handler.
    if (executing_) {
        passAgain_ = true;
        return true;
    }
    executing_ = true;
    const std::unique_ptr<bool, void (*)(bool*)> leave(&executing_, [](bool* b) { *b = false; });
    do {
        passAgain_ = false;
        RunPass();
    } while (passAgain_);
    return true;
}

void TLoaderDlg::RunPass() {
    thread_ = std::make_unique<TLoaderThd>(dispatcher_, *this);
    thread_->FirstIndex = FirstIndex;
    thread_->LastIndex = LastIndex;
    thread_->OnTerminate = [this](TThread& thread) { LoaderDone(thread); };
    running_ = true;
    pb->setRange(0, std::max(0, LastIndex - FirstIndex));
    pb->setValue(0);
    thread_->Start();
    exec();
    // A quit ends every event loop, this one too, while the thread may still be drawing: its
    // calls are served until its end handler has run, so that it never outlives its object.
    while (running_) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // The end handler has run; the thread has nothing left to do but end.
    thread_.reset();
}

void TLoaderDlg::DrawSlot(int slot, TBitmap32& bitmap) {
    const int picture = FirstIndex + slot;
    if (slot < 0 || slot >= static_cast<int>(ThumbSlots.size()) || !ThumbSlots[slot]) return;
    TImageControl* image = ThumbSlots[slot];
    if (image->Tag == picture) return;
    image->hide();
    if (!ThumbServer) return;
    ThumbServer->GetFrame(bitmap, picture);
    image->SetPicture(ToQImage(bitmap));
    image->Tag = picture;
    image->show();
    image->update();
}

void TLoaderDlg::LoaderDone(TThread&) {
    running_ = false;
    done(QDialog::Accepted);
}

void TLoaderDlg::closeEvent(QCloseEvent* event) {
    if (running_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TLoaderDlg::reject() {
    if (!running_) QDialog::reject();
}
