// Times the desktop window in one process, offscreen: from creating the forms to the first
// paint of the main window (start-up), and the thumbnail strip drawn for the given pictures
// through the "Thumbnails" loader (the first five slots, each decoded). Prints each one's best
// of ROUNDS. The settings store ($MORVANTA_CONFIG_DIR) should hold the codec list already.
// Usage: morvanta-bench-gui ROUNDS PICTURE...
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/U_Startup.h"
#include "platform/U_Controls.h"

namespace {

// Quits the event loop at the watched widget's first paint.
class TFirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted) {
            painted = true;
            QApplication::exit(0);
        }
        return QObject::eventFilter(watched, event);
    }
    bool painted = false;
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ROUNDS PICTURE...\n", argv[0]);
        return 2;
    }
    const int rounds = std::max(1, std::atoi(argv[1]));
    const std::vector<std::string> pictures(argv + 2, argv + argc);
    double startup = 1e9, codecs = 1e9, strip = 1e9;
    for (int r = 0; r < rounds; ++r) {
        const auto start = std::chrono::steady_clock::now();
        auto window = CreateForms();
        TFirstPaint paint;
        window->installEventFilter(&paint);
        window->AppEvtActivate();
        if (!paint.painted) QApplication::exec();
        startup = std::min(startup, Seconds(start));
        window->WaitForCodecList();
        codecs = std::min(codecs, Seconds(start));
        window->removeEventFilter(&paint);
        if (!pictures.empty()) {
            std::vector<std::string> five(
                pictures.begin(), pictures.begin() + std::min<std::size_t>(5, pictures.size()));
            const auto added = std::chrono::steady_clock::now();
            window->AddPictureEntries(five);
            strip = std::min(strip, Seconds(added));
        }
        window->close();
    }
    std::printf("window shown (in process)  %7.3f s\n", startup);
    std::printf("codec list in place        %7.3f s\n", codecs);
    if (!pictures.empty())
        std::printf("%zu thumbnails in the strip  %7.3f s\n",
                    std::min<std::size_t>(5, pictures.size()), strip);
    return 0;
}
