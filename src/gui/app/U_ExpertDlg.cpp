#include "app/U_ExpertDlg.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSpacerItem>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/U_StyleSettings.h"
#include "app/U_WindowRunChoices.h"
#include "platform/U_Controls.h"
#include "platform/U_Shell.h"
#include "platform/os/U_Settings.h"
#include "video/U_ImageFile.h"

namespace {

template <typename T>
QComboBox* ChoiceList(QWidget* parent, const char* name, const std::vector<TStyleName<T>>& names) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    for (const auto& n : names) box->addItem(n.Label);
    return box;
}

template <typename T>
void ShowChoice(QComboBox* box, const std::vector<TStyleName<T>>& names, T value) {
    for (std::size_t k = 0; k < names.size(); ++k)
        if (names[k].Value == value) box->setCurrentIndex(static_cast<int>(k));
}

template <typename T>
T ChoiceOf(const QComboBox* box, const std::vector<TStyleName<T>>& names, T fallback) {
    const int item = box->currentIndex();
    if (item < 0 || item >= static_cast<int>(names.size())) return fallback;
    return names[static_cast<std::size_t>(item)].Value;
}

QLabel* Label(QWidget* parent, const char* name, const char* caption, QWidget* buddy) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setBuddy(buddy);
    return label;
}

QCheckBox* Check(QWidget* parent, const char* name, const char* caption) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    return box;
}

} // namespace

TExpertDlg::TExpertDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("ExpertDlg");
    setWindowTitle("Expert Options");
    setFont(QFont("DejaVu Sans", 8));

    sng_chk = Check(this, "sng_chk", "Single Frame mode");
    autorotate_chk = Check(this, "autorotate_chk", "Turn photos upright (EXIF)");
    BuildLook();
    BuildCaption();
    BuildSound();
    ok_btn = MakeOkButton(this);

    QHBoxLayout* buttons = CentredRow({ok_btn});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sng_chk);
    layout->addWidget(autorotate_chk);
    layout->addWidget(look_grp);
    layout->addWidget(caption_grp);
    layout->addWidget(sound_grp);
    layout->addLayout(buttons);
    // Fixed size, at least 207 wide; taller than 67 by the boxes below single-frame mode, and
    // wider when a caption needs it.
    const QMargins margins = layout->contentsMargins();
    layout->addSpacerItem(new QSpacerItem(207 - margins.left() - margins.right(), 0));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    QWidget* order[] = {sng_chk,     autorotate_chk, trans_cmb,   motion_cmb, ease_chk, fill_cmb,
                        font_cmb,    fontsize_txt,   colour_btn,  place_cmb,  edge_cmb, band_chk,
                        counter_chk, soundmode_cmb,  fadeout_txt, beat_chk,   ok_btn};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    connect(colour_btn, &QPushButton::clicked, this, &TExpertDlg::colour_btnClick);
    connect(font_cmb, &QFontComboBox::currentFontChanged, this,
            [this](const QFont& font) { family_ = font.family().toStdString(); });
}

void TExpertDlg::BuildLook() {
    look_grp = new QGroupBox("Pictures", this);
    look_grp->setObjectName("look_grp");
    trans_cmb = ChoiceList(look_grp, "trans_cmb", TransitionNames());
    motion_cmb = ChoiceList(look_grp, "motion_cmb", MotionNames());
    ease_chk = Check(look_grp, "ease_chk", "Ease in and out");
    fill_cmb = ChoiceList(look_grp, "fill_cmb", FillNames());
    trans_lbl = Label(look_grp, "trans_lbl", "Transition :", trans_cmb);
    motion_lbl = Label(look_grp, "motion_lbl", "Motion :", motion_cmb);
    fill_lbl = Label(look_grp, "fill_lbl", "Fill :", fill_cmb);
    auto* grid = new QGridLayout(look_grp);
    grid->addWidget(trans_lbl, 0, 0);
    grid->addWidget(trans_cmb, 0, 1);
    grid->addWidget(motion_lbl, 1, 0);
    grid->addWidget(motion_cmb, 1, 1);
    grid->addWidget(ease_chk, 2, 1);
    grid->addWidget(fill_lbl, 3, 0);
    grid->addWidget(fill_cmb, 3, 1);
    grid->setColumnStretch(1, 1);
}

void TExpertDlg::BuildCaption() {
    caption_grp = new QGroupBox("Captions", this);
    caption_grp->setObjectName("caption_grp");
    font_cmb = new QFontComboBox(caption_grp);
    font_cmb->setObjectName("font_cmb");
    font_cmb->setEditable(false);
    fontsize_txt = new QSpinBox(caption_grp);
    fontsize_txt->setObjectName("fontsize_txt");
    fontsize_txt->setRange(MinCaptionPoints, MaxCaptionPoints);
    fontsize_txt->setSuffix(" pt");
    colour_btn = new QPushButton(caption_grp);
    colour_btn->setObjectName("colour_btn");
    place_cmb = ChoiceList(caption_grp, "place_cmb", CaptionPlaceNames());
    edge_cmb = ChoiceList(caption_grp, "edge_cmb", TextEdgeNames());
    band_chk = Check(caption_grp, "band_chk", "Dark band behind the text");
    counter_chk = Check(caption_grp, "counter_chk", "Show the picture counter");
    font_lbl = Label(caption_grp, "font_lbl", "Font :", font_cmb);
    fontsize_lbl = Label(caption_grp, "fontsize_lbl", "Size :", fontsize_txt);
    colour_lbl = Label(caption_grp, "colour_lbl", "Colour :", colour_btn);
    place_lbl = Label(caption_grp, "place_lbl", "Position :", place_cmb);
    edge_lbl = Label(caption_grp, "edge_lbl", "Edge :", edge_cmb);
    auto* grid = new QGridLayout(caption_grp);
    grid->addWidget(font_lbl, 0, 0);
    grid->addWidget(font_cmb, 0, 1, 1, 3);
    grid->addWidget(fontsize_lbl, 1, 0);
    grid->addWidget(fontsize_txt, 1, 1);
    grid->addWidget(colour_lbl, 1, 2);
    grid->addWidget(colour_btn, 1, 3);
    grid->addWidget(place_lbl, 2, 0);
    grid->addWidget(place_cmb, 2, 1, 1, 3);
    grid->addWidget(edge_lbl, 3, 0);
    grid->addWidget(edge_cmb, 3, 1, 1, 3);
    grid->addWidget(band_chk, 4, 0, 1, 4);
    grid->addWidget(counter_chk, 5, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
}

// The sound modes in TSoundMode's order.
const TSoundMode SoundModes[] = {TSoundMode::Auto, TSoundMode::Copy, TSoundMode::Aac,
                                 TSoundMode::Mp3, TSoundMode::Opus};

void TExpertDlg::BuildSound() {
    sound_grp = new QGroupBox("Sound (MP4, MKV, WebM)", this);
    sound_grp->setObjectName("sound_grp");
    soundmode_cmb = new QComboBox(sound_grp);
    soundmode_cmb->setObjectName("soundmode_cmb");
    soundmode_cmb->addItems({"Automatic", "Copy the song", "AAC", "MP3", "Opus"});
    fadeout_txt = new QSpinBox(sound_grp);
    fadeout_txt->setObjectName("fadeout_txt");
    fadeout_txt->setRange(0, MaxFadeOutMs);
    fadeout_txt->setSingleStep(500);
    fadeout_txt->setSuffix(" ms");
    beat_chk = Check(sound_grp, "beat_chk", "Cut on the beat");
    soundmode_lbl = Label(sound_grp, "soundmode_lbl", "Sound :", soundmode_cmb);
    fadeout_lbl = Label(sound_grp, "fadeout_lbl", "Fade-out :", fadeout_txt);
    auto* grid = new QGridLayout(sound_grp);
    grid->addWidget(soundmode_lbl, 0, 0);
    grid->addWidget(soundmode_cmb, 0, 1);
    grid->addWidget(fadeout_lbl, 1, 0);
    grid->addWidget(fadeout_txt, 1, 1);
    grid->addWidget(beat_chk, 2, 0, 1, 2);
    grid->setColumnStretch(1, 1);
}

void TExpertDlg::SetCaptionColour(std::uint32_t rgb) {
    colour_ = rgb & 0xFFFFFF;
    QPixmap swatch(28, 12);
    swatch.fill(QColor::fromRgb(colour_));
    colour_btn->setIcon(QIcon(swatch));
    colour_btn->setIconSize(swatch.size());
    colour_btn->setText(QString::fromStdString(ColourName(colour_)));
}

void TExpertDlg::colour_btnClick() {
    const QColor chosen = QColorDialog::getColor(QColor::fromRgb(colour_), this);
    if (chosen.isValid()) SetCaptionColour(chosen.rgb());
}

void TExpertDlg::LoadControls() {
    ShowChoice(trans_cmb, TransitionNames(), Style.Transition);
    ShowChoice(motion_cmb, MotionNames(), Style.Motion);
    ease_chk->setChecked(Style.Ease);
    ShowChoice(fill_cmb, FillNames(), Style.Fill);
    const TCaptionStyle& c = Style.Caption;
    {
        // The family stays as it is (one not installed too) until the user picks another.
        const QSignalBlocker block(font_cmb);
        font_cmb->setCurrentFont(QFont(QString::fromStdString(c.Family)));
    }
    family_ = c.Family;
    fontsize_txt->setValue(c.SizePoints);
    SetCaptionColour(c.Colour);
    ShowChoice(place_cmb, CaptionPlaceNames(), c.Place);
    ShowChoice(edge_cmb, TextEdgeNames(), c.Edge);
    band_chk->setChecked(c.Band);
    counter_chk->setChecked(c.Counter);
}

TShowStyle TExpertDlg::ControlsStyle() const {
    TShowStyle style = Style;
    style.Transition = ChoiceOf(trans_cmb, TransitionNames(), Style.Transition);
    style.Motion = ChoiceOf(motion_cmb, MotionNames(), Style.Motion);
    style.Ease = ease_chk->isChecked();
    style.Fill = ChoiceOf(fill_cmb, FillNames(), Style.Fill);
    TCaptionStyle& c = style.Caption;
    c.Family = family_;
    c.SizePoints = fontsize_txt->value();
    c.Colour = colour_;
    c.Place = ChoiceOf(place_cmb, CaptionPlaceNames(), c.Place);
    c.Edge = ChoiceOf(edge_cmb, TextEdgeNames(), c.Edge);
    c.Band = band_chk->isChecked();
    c.Counter = counter_chk->isChecked();
    return style;
}

bool TExpertDlg::Execute() {
    autorotate_chk->setChecked(ReadAutoRotateSetting());
    LoadControls();
    const TSoundChoices shown = ReadSoundChoices();
    for (std::size_t k = 0; k < std::size(SoundModes); ++k)
        if (SoundModes[k] == shown.Mode) soundmode_cmb->setCurrentIndex(static_cast<int>(k));
    fadeout_txt->setValue(shown.FadeOutMs);
    beat_chk->setChecked(shown.BeatCuts);
    sng_chk->setFocus();
    if (exec() != QDialog::Accepted) return false;
    Style = ControlsStyle();
    const bool stored =
        WriteSetting(AutoRotateSettingName, autorotate_chk->isChecked() ? "1" : "0");
    TSoundChoices sound;
    const int mode = soundmode_cmb->currentIndex();
    if (mode >= 0 && mode < static_cast<int>(std::size(SoundModes)))
        sound.Mode = SoundModes[static_cast<std::size_t>(mode)];
    sound.FadeOutMs = fadeout_txt->value();
    sound.BeatCuts = beat_chk->isChecked();
    const bool soundStored = WriteSoundChoices(sound);
    if (!(WriteShowStyleSetting(Style) && stored && soundStored))
        ShowMessageBox(this, "Unable to save the settings", false, mkError);
    return true;
}
