#pragma once
// Helpers shared by the GUI tests: message boxes, shell launches and file dialogs answered
// without showing anything, modal dialogs driven by a timer, and small JPEG and MP3 files.
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/U_FileDialogs.h"
#include "platform/image/U_Bitmap32.h"

class QWidget;

namespace guitest {

// Replaces the message box and shell hooks for its lifetime: boxes are recorded and answered
// with Answer, launches are recorded and reported as done.
class TShellRecorder {
public:
    struct TBox {
        QString Text;
        QString Caption;
        int Kind = 0;
        bool OwnerVisible = false; // the box's owner window was on screen
    };
    TShellRecorder();
    ~TShellRecorder();
    TShellRecorder(const TShellRecorder&) = delete;
    TShellRecorder& operator=(const TShellRecorder&) = delete;

    std::vector<TBox> Boxes;
    QStringList Opened;
    int Answer = 6; // idYes
};

// Replaces the file dialog hook for its lifetime: each dialog takes the next queued answer
// (an empty list, that is Cancel, when none is queued) and is recorded.
class TFileDialogScript {
public:
    TFileDialogScript();
    ~TFileDialogScript();
    TFileDialogScript(const TFileDialogScript&) = delete;
    TFileDialogScript& operator=(const TFileDialogScript&) = delete;

    void Answer(QStringList files) { answers_.push_back(std::move(files)); }
    void Answer(const std::string& file) { Answer(QStringList{QString::fromStdString(file)}); }
    std::vector<TFileDialogRequest> Requests;

private:
    std::deque<QStringList> answers_;
};

// Calls `act` with the modal dialog once one is shown (polling the event loop), so that a test
// can drive a dialog opened by the code under test. Gives up after `timeoutMs`.
void WhenModal(std::function<void(QWidget* dialog)> act, int timeoutMs = 5000);
// Runs the event loop for `ms` milliseconds.
void Pump(int ms = 0);

// A baseline JPEG of the bitmap (libjpeg, quality 90).
void WriteJpeg(const std::string& path, const TBitmap32& bitmap, int quality = 90);
// MPEG-2 Layer III, 8 kbit/s, 16 kHz, mono: each frame plays exactly 36 ms.
inline constexpr double Mp3FrameSeconds = 0.036;
void WriteMp3(const std::string& path, int frames);

// The lines of a text file, split at CR LF.
std::vector<std::string> FileLines(const std::string& path);

} // namespace guitest
