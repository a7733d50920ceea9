#include "U_ProcessSuccessDlg.h"

#include <QFont>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

#include "after/U_BurnDlg.h"
#include "after/U_ExternalPrograms.h"
#include "platform/U_Shell.h"

TProcessSuccessDlg::TProcessSuccessDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("ProcessSuccessDlg");
    setWindowTitle("Done !");
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(300, 121);
    setFont(QFont("DejaVu Sans", 8));

    icon_img = new QLabel(this);
    icon_img->setObjectName("icon_img");
    icon_img->setGeometry(8, 8, 33, 33);
    icon_img->setPixmap(style()->standardIcon(QStyle::SP_DialogApplyButton).pixmap(33, 33));

    msg_lbl = new QLabel("Morvanta has successfully processed your video file. Please select the "
                         "appropriate action :",
                         this);
    msg_lbl->setObjectName("msg_lbl");
    // Three lines at this font: the label takes the height down to the buttons, so that none is
    // cut at the top (a translation may be longer still).
    msg_lbl->setGeometry(48, 4, 246, 45);
    msg_lbl->setWordWrap(true);
    msg_lbl->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    play_btn = MakeButton("play_btn", "Play", QStyle::SP_MediaPlay, {4, 51, 69, 65});
    burncd_btn = MakeButton("burncd_btn", "Burn", QStyle::SP_DriveCDIcon, {76, 51, 72, 54});
    dvd_btn = MakeButton("dvd_btn", "DVD", QStyle::SP_DriveDVDIcon, {148, 51, 72, 54});
    folder_btn = MakeButton("folder_btn", "Open Folder", QStyle::SP_DirOpenIcon, {221, 51, 72, 54});
    connect(play_btn, &QToolButton::clicked, this, &TProcessSuccessDlg::play_btnClick);
    connect(burncd_btn, &QToolButton::clicked, this, &TProcessSuccessDlg::burncd_btnClick);
    connect(dvd_btn, &QToolButton::clicked, this, &TProcessSuccessDlg::dvd_btnClick);
    connect(folder_btn, &QToolButton::clicked, this, &TProcessSuccessDlg::folder_btnClick);
}

QToolButton* TProcessSuccessDlg::MakeButton(const char* name, const QString& caption, int glyph,
                                            QRect geometry) {
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setText(caption);
    button->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(glyph)));
    button->setIconSize({24, 24});
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setGeometry(geometry);
    return button;
}

bool TProcessSuccessDlg::Execute() {
    if (parentWidget()) move(parentWidget()->geometry().center() - rect().center());
    return exec() == QDialog::Accepted;
}

bool TProcessSuccessDlg::OfferDownload(const QString& question, const char* url) {
    if (ShowMessageBox(this, Translate(question), true, mkWarning) != idYes) return false;
    OpenFromWindow(this, {}, QString::fromLatin1(url));
    return true;
}

void TProcessSuccessDlg::play_btnClick() {
    // Always through the desktop: a video file that happens to be executable is still played.
    OpenDocument(VideoFile);
    accept();
}

void TProcessSuccessDlg::folder_btnClick() {
    OpenDocument(VideoFile.left(VideoFile.lastIndexOf('/') + 1));
    accept();
}

void TProcessSuccessDlg::dvd_btnClick() {
    if (FindDvdConverter().isEmpty() &&
        !OfferDownload("Convertion to DVD requires a third party product from Dalvex Software. "
                       "Do you want to download it now ?",
                       DvdConverterDownloadUrl))
        return;
    // The user may have installed it while the question was open.
    const QString converter = FindDvdConverter();
    if (!converter.isEmpty()) OpenWithShell(converter, {VideoFile});
    accept();
}

void TProcessSuccessDlg::burncd_btnClick() {
    if (FindBurner().isEmpty() &&
        !OfferDownload("BurnDeck DVD is required to burn CDs or DVDs. Do you want to download it "
                       "now ?",
                       BurnerDownloadUrl))
        return;
    const QString folder = JobFolder.isEmpty() ? DefaultJobFolder() : JobFolder;
    const QString error = WriteJobListFile(JobFilePath(folder, JobPrefix, 0, ".bdj"), VideoFile);
    if (!error.isEmpty()) {
        ShowMessageBox(this, error, false, mkError);
        return;
    }
    if (!BurnDlg) {
        BurnDlg = new TBurnDlg(this);
        BurnDlg->Translate = Translate;
    }
    BurnDlg->JobCount = 1;
    BurnDlg->AudioCd = false;
    BurnDlg->JobPrefix = JobPrefix;
    BurnDlg->JobFolder = folder;
    BurnDlg->Execute();
    accept();
}
