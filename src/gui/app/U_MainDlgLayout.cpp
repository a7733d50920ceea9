// The main window's controls, their placement and its menu. Positions are in pixels inside
// each control's group, as the window was designed; DejaVu Sans 8 pt stands in for the
// original face, and controls whose caption would not fit were made wider.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>

#include "app/U_MainDlg.h"
#include "platform/U_Controls.h"

namespace {

constexpr int ClientWidth = 783;
constexpr int ClientHeight = 447;
constexpr int StatusBarHeight = 19;

// The left column: a blue-grey band with a rounded white shape behind its three buttons.
class TModesPanel : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(122, 150, 215));
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 200));
        painter.drawRoundedRect(QRectF(8.5, 8.5, width() - 17, 220), 12, 12);
    }
};

template <typename T> T* Named(T* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& geometry) {
    auto* button = Named(new QPushButton(caption, parent), name);
    button->setGeometry(geometry);
    return button;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& caption,
                     const QRect& geometry) {
    auto* group = Named(new QGroupBox(caption, parent), name);
    group->setGeometry(geometry);
    return group;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, const QRect& geometry,
                  Qt::Alignment alignment = Qt::AlignLeft) {
    auto* label = Named(new QLabel(caption, parent), name);
    label->setGeometry(geometry);
    label->setAlignment(alignment | Qt::AlignVCenter);
    return label;
}

QFont BoldPixels(QFont font, int pixels) {
    font.setBold(true);
    font.setPixelSize(pixels);
    return font;
}

} // namespace

void TMainDlg::CreateControls() {
    setFont(QFont("DejaVu Sans", 8));
    auto* client = Named(new QWidget(this), "client");
    setCentralWidget(client);
    CreateModesPanel();
    CreatePhotoGroup();
    CreateSoundGroup();
    CreateVideoGroup();
    CreateOptionsGroup();
    CreateOutputGroup();
    CreateMenu();
    CreateStatusBar();
    // Fixed single border: the client area is fixed, the menu bar comes on top of it.
    client->setFixedSize(ClientWidth, ClientHeight - StatusBarHeight);
    setFixedSize(ClientWidth, ClientHeight + menuBar()->sizeHint().height());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
}

void TMainDlg::CreateModesPanel() {
    modes_pnl = Named(new TModesPanel(centralWidget()), "modes_pnl");
    modes_pnl->setGeometry(-1, 1, 103, 427);
    const struct {
        QToolButton** button;
        const char* name;
        const char* caption;
        QStyle::StandardPixmap icon;
    } buttons[] = {
        {&settings_btn, "settings_btn", "Settings", QStyle::SP_FileDialogDetailedView},
        {&help_btn, "help_btn", "Help", QStyle::SP_DialogHelpButton},
        {&about_btn, "about_btn", "About...", QStyle::SP_MessageBoxInformation},
    };
    int top = 16;
    for (const auto& b : buttons) {
        auto* button = Named(new QToolButton(modes_pnl), b.name);
        button->setText(b.caption);
        button->setIcon(style()->standardIcon(b.icon));
        button->setIconSize(QSize(32, 32));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setGeometry(14, top, 76, 60);
        *b.button = button;
        top += 68;
    }
}

void TMainDlg::CreatePhotoGroup() {
    photo_grp = MakeGroup(centralWidget(), "photo_grp", "Photos", {104, 0, 673, 145});
    thumb_rct = Named(new QFrame(photo_grp), "thumb_rct");
    thumb_rct->setGeometry(32, 16, 515, 77);
    thumb_rct->setFrameStyle(QFrame::Box | QFrame::Plain);
    QPalette grey = thumb_rct->palette();
    grey.setColor(QPalette::WindowText, Qt::gray);
    thumb_rct->setPalette(grey);
    CreateThumbSlots();

    prev_btn = MakeButton(photo_grp, "prev_btn", "<", {5, 16, 25, 77});
    next_btn = MakeButton(photo_grp, "next_btn", ">", {549, 16, 25, 77});
    for (QPushButton* b : {prev_btn, next_btn}) b->setFont(BoldPixels(font(), 13));
    thumbstats_lbl =
        MakeLabel(photo_grp, "thumbstats_lbl", "", {32, 97, 515, 24}, Qt::AlignHCenter);
    thumbstats_lbl->setFont(BoldPixels(font(), 16));
    thumbstats_lbl->hide();

    addphotos_btn = MakeButton(photo_grp, "addphotos_btn", "Add Files", {580, 16, 86, 23});
    imgreset_btn = MakeButton(photo_grp, "imgreset_btn", "Reset", {580, 41, 86, 23});
    organize_btn = MakeButton(photo_grp, "organize_btn", "Organize", {580, 66, 86, 23});
    jump_btn = MakeButton(photo_grp, "jump_btn", "Jump to....", {580, 91, 86, 23});
    save_btn = MakeButton(photo_grp, "save_btn", "Save", {580, 116, 42, 23});
    load_btn = MakeButton(photo_grp, "load_btn", "Load", {624, 116, 42, 23});
}

void TMainDlg::CreateThumbSlots() {
    for (int k = 0; k < 5; ++k) {
        if (!ThumbSlots[k]) {
            auto* slot = new TImageControl(photo_grp);
            slot->setObjectName(QString("ThumbSlot%1").arg(k));
            connect(slot, &TImageControl::doubleClicked, this, [this, k] { ThumbDblClick(k); });
            ThumbSlots[k] = slot;
        }
        TImageControl* slot = ThumbSlots[k];
        slot->setGeometry(thumb_rct->x() + 103 * k + 1, thumb_rct->y() + 1, 100, 75);
        slot->Tag = -1;
        slot->ClearPicture();
        slot->raise();
        slot->setVisible(true);
    }
    FirstThumb = 0;
}

void TMainDlg::CreateSoundGroup() {
    sound_grp = MakeGroup(centralWidget(), "sound_grp", "Soundtrack", {104, 146, 249, 95});
    sound_txt = Named(new QLineEdit(sound_grp), "sound_txt");
    sound_txt->setGeometry(8, 20, 233, 22);
    sound_txt->setReadOnly(true);
    // A long path does not fit: the whole of it shows on hovering.
    connect(sound_txt, &QLineEdit::textChanged, sound_txt, &QLineEdit::setToolTip);
    sound_btn = MakeButton(sound_grp, "sound_btn", "Browse", {8, 46, 80, 23});
    resetaudio_btn = MakeButton(sound_grp, "resetaudio_btn", "Reset", {92, 46, 80, 23});
    audioduration_lbl = MakeLabel(sound_grp, "audioduration_lbl", "", {8, 72, 233, 17});
}

void TMainDlg::CreateVideoGroup() {
    video_grp = MakeGroup(centralWidget(), "video_grp", "Video Compression", {104, 248, 249, 177});
    codecs_grp = MakeGroup(video_grp, "codecs_grp", "Codecs", {8, 16, 233, 96});
    codecs_cmb = Named(new QComboBox(codecs_grp), "codecs_cmb");
    codecs_cmb->setGeometry(8, 18, 217, 23);
    codecconfig_btn =
        MakeButton(codecs_grp, "codecconfig_btn", "Codec Configuration", {8, 45, 140, 23});
    codecabout_btn = MakeButton(codecs_grp, "codecabout_btn", "About", {152, 45, 73, 23});
    dlcodecs_lbl = Named(new TLinkLabel("Download More Codecs", codecs_grp), "dlcodecs_lbl");
    dlcodecs_lbl->setGeometry(8, 73, 217, 17);

    res_grp = MakeGroup(video_grp, "res_grp", "Resolution", {8, 116, 233, 53});
    res_cmb = Named(new QComboBox(res_grp), "res_cmb");
    res_cmb->setGeometry(8, 20, 217, 23);
    // A size of one's own may be typed; it is checked when the editing ends.
    res_cmb->setEditable(true);
    res_cmb->setInsertPolicy(QComboBox::NoInsert);
}

void TMainDlg::CreateOptionsGroup() {
    options_grp = MakeGroup(centralWidget(), "options_grp", "Options", {360, 146, 417, 119});
    dynamics_chk = Named(new QCheckBox("Enable dynamic pictures", options_grp), "dynamics_chk");
    dynamics_chk->setGeometry(10, 18, 260, 19);
    xfade_chk = Named(new QCheckBox("Enable Cross-Fading", options_grp), "xfade_chk");
    xfade_chk->setGeometry(10, 38, 260, 19);
    xfade_chk->setChecked(true);
    osd_chk = Named(new QCheckBox("Enable \"On Video Text Insertion\"", options_grp), "osd_chk");
    osd_chk->setGeometry(10, 58, 260, 19);
    osd_chk->setChecked(true);

    fps_lbl = MakeLabel(options_grp, "fps_lbl", "Fps :", {276, 18, 62, 22}, Qt::AlignRight);
    FPS_txt = Named(new TSpinEdit(options_grp), "FPS_txt");
    FPS_txt->setGeometry(342, 18, 64, 22);
    FPS_txt->setRange(1, 60);
    FPS_txt->setSingleStep(1);
    FPS_txt->setValue(15);

    time_lbl = MakeLabel(options_grp, "time_lbl", "Time per picture (ms) :", {10, 87, 136, 22},
                         Qt::AlignRight);
    time_txt = Named(new TSpinEdit(options_grp), "time_txt");
    time_txt->setGeometry(150, 87, 72, 22);
    time_txt->setRange(100, 60000);
    time_txt->setSingleStep(100);
    time_txt->setValue(3000);
    matchaudio_btn = MakeButton(options_grp, "matchaudio_btn", "Match audio", {228, 86, 92, 24});
    exp_btn = MakeButton(options_grp, "exp_btn", "Expert", {326, 86, 80, 24});
}

void TMainDlg::CreateOutputGroup() {
    out_grp = MakeGroup(centralWidget(), "out_grp", "Output", {360, 272, 417, 153});
    out_txt = Named(new QLineEdit(out_grp), "out_txt");
    out_txt->setGeometry(8, 20, 170, 22);
    out_txt->setReadOnly(true);
    connect(out_txt, &QLineEdit::textChanged, out_txt, &QLineEdit::setToolTip);
    out_btn = MakeButton(out_grp, "out_btn", "Browse", {182, 19, 66, 24});
    prog_lbl = MakeLabel(out_grp, "prog_lbl", "", {8, 48, 240, 17}, Qt::AlignHCenter);
    pb = Named(new QProgressBar(out_grp), "pb");
    pb->setGeometry(8, 68, 240, 17);
    pb->setRange(0, 100);
    pb->setValue(0);
    pb->setTextVisible(false);
    go_btn = MakeButton(out_grp, "go_btn", "Go !", {8, 98, 118, 30});
    QFont bold = font();
    bold.setBold(true);
    go_btn->setFont(bold);
    cancel_btn = MakeButton(out_grp, "cancel_btn", "Cancel", {130, 98, 118, 30});

    preview_grp = MakeGroup(out_grp, "preview_grp", "Preview", {256, 16, 145, 113});
    img = Named(new TImageControl(preview_grp), "img");
    img->setGeometry(12, 17, 120, 90);
    img->Stretch = true;
}

void TMainDlg::CreateMenu() {
    QMenuBar* bar = menuBar();
    bar->setFont(font());
    auto menu = [&](const char* name, const QString& caption) {
        QMenu* m = bar->addMenu(caption);
        m->setObjectName(name);
        m->menuAction()->setObjectName(name);
        return m;
    };
    auto item = [&](QMenu* m, const char* name, const QString& caption) {
        QAction* a = m->addAction(caption);
        a->setObjectName(name);
        return a;
    };
    File1 = menu("File1", "File");
    Load1 = item(File1, "Load1", "Load");
    Save1 = item(File1, "Save1", "Save");
    Quit1 = item(File1, "Quit1", "Quit");
    Pictures1 = menu("Pictures1", "Pictures");
    Add1 = item(Pictures1, "Add1", "Add");
    Reset1 = item(Pictures1, "Reset1", "Reset");
    Pictures1->addSeparator()->setObjectName("N1");
    Organize1 = item(Pictures1, "Organize1", "Organize");
    Sound1 = menu("Sound1", "Sound");
    Add2 = item(Sound1, "Add2", "Add");
    Remove1 = item(Sound1, "Remove1", "Remove");
    Effects1 = menu("Effects1", "Effects");
    Greyscale1 = item(Effects1, "Greyscale1", "Greyscale");
    Sepia1 = item(Effects1, "Sepia1", "Sepia");
    for (QAction* a : {Greyscale1, Sepia1}) a->setCheckable(true);
    N2 = menu("N2", "?");
    Help1 = item(N2, "Help1", "Help");
    N2->addSeparator()->setObjectName("N3");
    About1 = item(N2, "About1", "About");
}

void TMainDlg::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("StatusBar");
    bar->setSizeGripEnabled(false);
    bar->setFixedHeight(StatusBarHeight);
    StatusPanels[0] = Named(new QLabel(bar), "StatusPanel0");
    StatusPanels[0]->setFixedWidth(200);
    // The run state ("Processing Video") needs more than the 50 pixels it was given.
    StatusPanels[1] = Named(new QLabel(bar), "StatusPanel1");
    bar->addWidget(StatusPanels[0]);
    bar->addWidget(StatusPanels[1], 1);
}

void TMainDlg::ConnectHandlers() {
    connect(out_txt, &QLineEdit::textChanged, this, [this] { FitCodecsToOutput(); });
    connect(res_cmb->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { CheckTypedResolution(); });
    connect(res_cmb, &QComboBox::activated, this,
            [this] { lastResolution_ = res_cmb->currentText(); });
    const auto click = [this](QPushButton* b, void (TMainDlg::*handler)()) {
        connect(b, &QPushButton::clicked, this, handler);
    };
    click(prev_btn, &TMainDlg::prev_btnClick);
    click(next_btn, &TMainDlg::next_btnClick);
    click(addphotos_btn, &TMainDlg::addphotos_btnClick);
    click(imgreset_btn, &TMainDlg::imgreset_btnClick);
    click(save_btn, &TMainDlg::save_btnClick);
    click(load_btn, &TMainDlg::load_btnClick);
    click(jump_btn, &TMainDlg::jump_btnClick);
    click(organize_btn, &TMainDlg::organize_btnClick);
    click(sound_btn, &TMainDlg::sound_btnClick);
    click(resetaudio_btn, &TMainDlg::resetaudio_btnClick);
    click(codecconfig_btn, &TMainDlg::codecconfig_btnClick);
    click(codecabout_btn, &TMainDlg::codecabout_btnClick);
    click(matchaudio_btn, &TMainDlg::matchaudio_btnClick);
    click(exp_btn, &TMainDlg::exp_btnClick);
    click(out_btn, &TMainDlg::out_btnClick);
    click(go_btn, &TMainDlg::go_btnClick);
    click(cancel_btn, &TMainDlg::cancel_btnClick);
    connect(settings_btn, &QToolButton::clicked, this, &TMainDlg::settings_btnClick);
    connect(help_btn, &QToolButton::clicked, this, &TMainDlg::help_btnClick);
    connect(about_btn, &QToolButton::clicked, this, &TMainDlg::about_btnClick);
    connect(dlcodecs_lbl, &TLinkLabel::clicked, this, &TMainDlg::dlcodecs_btnClick);
    // On every change of state, the program's own changes included.
    connect(dynamics_chk, &QCheckBox::toggled, this, &TMainDlg::dynamics_chkClick);

    const auto menu = [this](QAction* a, void (TMainDlg::*handler)()) {
        connect(a, &QAction::triggered, this, handler);
    };
    menu(Load1, &TMainDlg::load_btnClick);
    menu(Save1, &TMainDlg::save_btnClick);
    menu(Quit1, &TMainDlg::Quit1Click);
    menu(Add1, &TMainDlg::addphotos_btnClick);
    menu(Reset1, &TMainDlg::imgreset_btnClick);
    menu(Organize1, &TMainDlg::organize_btnClick);
    menu(Add2, &TMainDlg::sound_btnClick);
    menu(Remove1, &TMainDlg::resetaudio_btnClick);
    menu(Help1, &TMainDlg::help_btnClick);
    menu(About1, &TMainDlg::about_btnClick);
    // Qt ticks a checkable item before telling; the handlers do the toggling themselves.
    connect(Greyscale1, &QAction::triggered, this, [this](bool checked) {
        Greyscale1->setChecked(!checked);
        Greyscale1Click();
    });
    connect(Sepia1, &QAction::triggered, this, [this](bool checked) {
        Sepia1->setChecked(!checked);
        Sepia1Click();
    });
}
