#include "app/U_Startup.h"

#include <QApplication>
#include <QTimer>
#include <cstdlib>

#include "after/U_BurnDlg.h"
#include "after/U_ProcessSuccessDlg.h"
#include "app/U_AboutDlg.h"
#include "app/U_ExpertDlg.h"
#include "app/U_SettingsDlg.h"
#include "pictures/U_JumpDlg.h"
#include "pictures/U_LoaderDlg.h"
#include "pictures/U_ReorderDlg.h"

namespace {

// bench/startup.sh times the program from launch to its first paint with
// MORVANTA_EXIT_WHEN_SHOWN=1: the program then ends right after that paint.
class TExitWhenShown : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) QTimer::singleShot(0, qApp, &QApplication::quit);
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

std::unique_ptr<TMainDlg> CreateForms(TMainDlgOptions options) {
    auto main = std::make_unique<TMainDlg>(std::move(options));
    TMainForms& forms = main->Forms;
    forms.AboutDlg = new TAboutDlg(main.get());
    forms.JumpDlg = new TJumpDlg(main.get());
    forms.ReorderDlg = new TReorderDlg(main.get());
    forms.LoaderDlg = new TLoaderDlg(main.get());
    forms.SettingsDlg = new TSettingsDlg(main.get());
    forms.ExpertDlg = new TExpertDlg(main.get());
    forms.ProcessSuccessDlg = new TProcessSuccessDlg(main.get());
    forms.BurnDlg = new TBurnDlg(main.get());
    forms.ProcessSuccessDlg->BurnDlg = forms.BurnDlg;
    const auto translate = [window = main.get()](const QString& text) {
        return window->Translate(text);
    };
    forms.ProcessSuccessDlg->Translate = translate;
    forms.BurnDlg->Translate = translate;
    return main;
}

int RunMorvanta() {
    QApplication::setApplicationName("Morvanta");
    const std::unique_ptr<TMainDlg> main = CreateForms();
    // The window's start-up runs once the message loop runs (its first activation); it shows
    // the window at its end.
    QTimer::singleShot(0, main.get(), &TMainDlg::AppEvtActivate);
    if (const char* exit = std::getenv("MORVANTA_EXIT_WHEN_SHOWN"); exit && *exit == '1')
        main->installEventFilter(new TExitWhenShown(main.get()));
    return QApplication::exec();
}
