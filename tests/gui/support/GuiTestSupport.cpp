#include "GuiTestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <jpeglib.h>
#include <memory>
#include <stdexcept>

#include "audio/U_MP3Header.h"
#include "platform/U_Shell.h"

namespace guitest {

TShellRecorder::TShellRecorder() {
    ShellHooks().MessageBox = [this](QWidget* owner, const QString& text, const QString& caption,
                                     bool yesNo, int kind) {
        Boxes.push_back({text, caption, kind, owner && owner->isVisible()});
        return yesNo ? Answer : idOk;
    };
    ShellHooks().OpenUrl = [this](const QString& target) {
        Opened << target;
        return true;
    };
    ShellHooks().StartProgram = [this](const QString& program, const QStringList& arguments) {
        Opened << (QStringList{program} + arguments).join(' ');
        return true;
    };
}

TShellRecorder::~TShellRecorder() {
    ResetShellHooks();
}

TFileDialogScript::TFileDialogScript() {
    FileDialogHooks().Run = [this](const TFileDialogRequest& request) {
        Requests.push_back(request);
        if (answers_.empty()) return QStringList();
        QStringList answer = answers_.front();
        answers_.pop_front();
        return answer;
    };
}

TFileDialogScript::~TFileDialogScript() {
    ResetFileDialogHooks();
}

void WhenModal(std::function<void(QWidget*)> act, int timeoutMs) {
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, act, timeoutMs] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(5);
}

void Pump(int ms) {
    QElapsedTimer clock;
    clock.start();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (clock.elapsed() < ms);
}

void WriteJpeg(const std::string& path, const TBitmap32& bitmap, int quality) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) throw std::runtime_error("cannot write " + path);
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file.get());
    cinfo.image_width = static_cast<JDIMENSION>(bitmap.Width);
    cinfo.image_height = static_cast<JDIMENSION>(bitmap.Height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(bitmap.Width) * 3);
    for (int y = 0; y < bitmap.Height; ++y) {
        for (int x = 0; x < bitmap.Width; ++x) {
            const std::uint32_t p = bitmap.At(x, y);
            row[3 * x] = static_cast<JSAMPLE>(RedOf(p));
            row[3 * x + 1] = static_cast<JSAMPLE>(GreenOf(p));
            row[3 * x + 2] = static_cast<JSAMPLE>(BlueOf(p));
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
}

void WriteMp3(const std::string& path, int frames) {
    const std::uint8_t head[4] = {0xFF, 0xF3, 0x18, 0xC0};
    const auto length = static_cast<std::size_t>(TMP3Header::FromBytes(head).FrameLength());
    if (length < 4) throw std::runtime_error("unusable test frame header");
    std::vector<char> frame(length, 0x11); // filler that never forms a sync pattern
    std::memcpy(frame.data(), head, 4);
    std::vector<char> all;
    all.reserve(length * static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i) all.insert(all.end(), frame.begin(), frame.end());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(all.data(), static_cast<std::streamsize>(all.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<std::string> FileLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

} // namespace guitest
