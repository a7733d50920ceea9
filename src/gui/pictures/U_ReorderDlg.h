#pragma once
// "Organize": reorders, deletes, captions and shuffles the picture list in place, and sets what a
// picture changes of the show (its time, transition, motion, fill). Every change reaches all of
// the caller's lists at once; there is no undo.
#include <QDialog>
#include <cstdint>
#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class TFrameServer;
class TPictureStyleBox;
class TStringList;

class TReorderDlg : public QDialog {
    Q_OBJECT

public:
    explicit TReorderDlg(QWidget* parent = nullptr);

    // Borrowed from the caller, who sets them before Execute: the two parallel lists and the
    // 100 x 75 thumbnail frame server over them (one frame per picture).
    TStringList* PicturePaths = nullptr;
    TStringList* PictureCaptions = nullptr;
    TFrameServer* ThumbServer = nullptr;
    // Optional third parallel list: each picture's style as PictureStyleText writes it ("" for
    // none). Without it the style fields stay disabled.
    TStringList* PictureStyles = nullptr;
    // The show's time per picture, shown in an empty time field.
    int ShowTimeMs = 3000;
    // Called once when the dialog closes after it changed the lists, so the caller can refresh
    // what shows them (the thumbnail strip, the picture count).
    std::function<void()> ListChanged;

    // Row to preselect, -1 for none. Execute sets it back to -1.
    int StartIndex = -1;
    // The shuffle's generator state; Shuffle seeds it.
    std::uint32_t RandSeed = 0;

    // Shows the dialog modally over the lists; false, without showing, for an empty list.
    bool Execute();

    // One draw of the shuffle's generator: advances `state`, returns 0 .. range - 1.
    static std::uint32_t Random(std::uint32_t& state, std::uint32_t range);
    // The shuffle with a given seed (shuffle_btnClick seeds from the clock).
    void Shuffle(std::uint32_t seed);

    void lstClick();
    void lstChange();
    void change_btnClick();
    void del_btnClick();
    void txtChange();
    void pstyleChange();
    void shuffle_btnClick();

    QGroupBox* pic_grp = nullptr;
    QTableWidget* lst = nullptr;
    QGroupBox* sel_grp = nullptr;
    QLabel* img = nullptr;
    QLabel* pos_lbl = nullptr;
    QSpinBox* pos_txt = nullptr;
    QPushButton* change_btn = nullptr;
    QPushButton* del_btn = nullptr;
    QLabel* txt_lbl = nullptr;
    QLineEdit* txt = nullptr;
    TPictureStyleBox* pstyle = nullptr; // ptime_txt, ptrans_cmb, pmotion_cmb, pfill_cmb
    QPushButton* shuffle_btn = nullptr;
    QPushButton* exit_btn = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildForm();
    void FillList();
    void RefreshSelection();
    void ShowPreview(int row);
    void SetRow(int row, const QString& text, const QString& photo);
    void Renumber(int from, int to);
    void SelectRow(int row);
    int SelectedRow() const;
    int PictureCount() const;
    bool HasStyles() const;

    bool Shuffling = false;
    bool changed_ = false; // the lists changed since Execute began
    int panelRow_ = -1;    // row the selection panel was last filled for
    int scrollRow_ = -1;   // row to bring into view once the list has its size
};
