#pragma once
// "Codec Configuration": one control per option of the chosen codec, as the codec layer lists
// them; Ok stores the values where the encoder reads them.
#include <QDialog>
#include <QString>
#include <vector>

#include "platform/codec/U_Codecs.h"

class QFormLayout;
class QPushButton;
class QWidget;

class TCodecConfigDlg : public QDialog {
    Q_OBJECT

public:
    explicit TCodecConfigDlg(QWidget* parent = nullptr);

    // The codec to configure; set by the caller before Execute.
    QString FourCC;

    // Nothing opens for an empty FourCC or a codec without options (false). Otherwise shows
    // the options modally and stores them on Ok; true when they were stored.
    bool Execute();

    // The option editors of the last Execute, named opt<i>_txt / _chk / _cmb after their
    // position in the list, each with its label opt<i>_lbl.
    QWidget* options_pnl = nullptr;
    QPushButton* default_btn = nullptr;
    QPushButton* ok_btn = nullptr;
    QPushButton* cancel_btn = nullptr;

    void default_btnClick();

private:
    void BuildEditors();
    void ShowValues();
    bool StoreValues();

    std::vector<TCodecOption> options_;
    std::vector<QWidget*> editors_;
    QFormLayout* form_ = nullptr;
};
