#pragma once
// "Expert Options": single-frame mode, whether photos are turned upright from their EXIF
// orientation (the setting "AutoRotate", read by the core's picture loading), and the show's
// look beyond the main window's boxes: transition, motion, fill and the caption's style.
#include <QDialog>

#include "video/U_ShowStyle.h"

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;

class TExpertDlg : public QDialog {
    Q_OBJECT

public:
    explicit TExpertDlg(QWidget* parent = nullptr);

    // Shows the dialog modally over Style; true when closed with Ok. Ok takes the controls into
    // Style and stores autorotate_chk and the look in the settings.
    bool Execute();

    // The look shown and edited; the caller sets it before Execute and reads it after.
    TShowStyle Style;

    // The caption colour, as colour_btn shows it (the button opens a colour chooser).
    void SetCaptionColour(std::uint32_t rgb);
    std::uint32_t CaptionColour() const { return colour_; }
    // The controls' look (Style's five plain options are left as they are).
    TShowStyle ControlsStyle() const;

    QCheckBox* sng_chk = nullptr;
    QCheckBox* autorotate_chk = nullptr;
    QGroupBox* look_grp = nullptr;
    QLabel* trans_lbl = nullptr;
    QComboBox* trans_cmb = nullptr;
    QLabel* motion_lbl = nullptr;
    QComboBox* motion_cmb = nullptr;
    QCheckBox* ease_chk = nullptr;
    QLabel* fill_lbl = nullptr;
    QComboBox* fill_cmb = nullptr;
    QGroupBox* caption_grp = nullptr;
    QLabel* font_lbl = nullptr;
    QFontComboBox* font_cmb = nullptr;
    QLabel* fontsize_lbl = nullptr;
    QSpinBox* fontsize_txt = nullptr;
    QLabel* colour_lbl = nullptr;
    QPushButton* colour_btn = nullptr;
    QLabel* place_lbl = nullptr;
    QComboBox* place_cmb = nullptr;
    QLabel* edge_lbl = nullptr;
    QComboBox* edge_cmb = nullptr;
    QCheckBox* band_chk = nullptr;
    QCheckBox* counter_chk = nullptr;
    // The soundtrack in MP4, MKV and WebM files, and "Cut on the beat" (U_WindowRunChoices).
    QGroupBox* sound_grp = nullptr;
    QLabel* soundmode_lbl = nullptr;
    QComboBox* soundmode_cmb = nullptr;
    QLabel* fadeout_lbl = nullptr;
    QSpinBox* fadeout_txt = nullptr;
    QCheckBox* beat_chk = nullptr;
    QPushButton* ok_btn = nullptr;

private:
    void BuildLook();
    void BuildCaption();
    void BuildSound();
    void LoadControls();
    void colour_btnClick();

    std::uint32_t colour_ = 0xFFFFFF;
    std::string family_; // the caption's family until the user picks another
};
