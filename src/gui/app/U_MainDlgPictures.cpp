// The picture list and the five-slot thumbnail strip: adding pictures, resetting, navigating,
// Organize, Jump, and files dropped on the window.
#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QUrl>
#include <algorithm>

#include "app/U_MainDlg.h"
#include "app/U_PictureOrder.h"
#include "app/U_PreviewPlay.h"
#include "app/U_Project.h"
#include "app/U_StyleInputs.h"
#include "pictures/U_JumpDlg.h"
#include "pictures/U_LoaderDlg.h"
#include "pictures/U_ReorderDlg.h"
#include "platform/U_Controls.h"
#include "platform/U_FileDialogs.h"
#include "platform/os/U_FileOps.h"
#include "platform/os/U_Settings.h"
#include "video/U_FrameServer.h"

namespace {

constexpr const char* PicturesFilter = "JPEG|*.jpeg;*.jpg|Bitmap|*.bmp";
constexpr int SlotCount = 5;

} // namespace

void TMainDlg::AddPictureEntry(const std::string& entry) {
    const TPictureEntry picture = SplitPictureEntry(entry);
    if (const auto rejection = PictureRejection(picture.Path)) {
        Log(*rejection, 2);
        return;
    }
    PicturePaths.Add(picture.Path);
    PictureCaptions.Add(picture.Caption);
    PictureStyles.Add({});
    UpdatePictureCount();
}

void TMainDlg::AddPictureEntries(const std::vector<std::string>& entries,
                                 const std::vector<TPictureStyle>& styles) {
    Log("Files count : " + std::to_string(PicturePaths.Count()), 1);
    Log(std::to_string(entries.size()) + " files to be added", 1);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t before = PicturePaths.Count();
        AddPictureEntry(entries[i]);
        // A picture left out takes its style with it.
        if (PicturePaths.Count() > before && i < styles.size() && !styles[i].IsPlain())
            PictureStyles.Set(static_cast<long long>(before), PictureStyleText(styles[i]));
    }
    Log("Files count : " + std::to_string(PicturePaths.Count()), 1);
    RefreshThumbStrip();
}

void TMainDlg::ClearPictures() {
    PicturePaths.Clear();
    PictureCaptions.Clear();
    PictureStyles.Clear();
    CreateThumbSlots();
    RefreshThumbStrip();
}

void TMainDlg::RefreshThumbStrip() {
    const int count = static_cast<int>(PicturePaths.Count());
    // Organize may have deleted pictures: the strip never reaches past the list.
    FirstThumb = std::clamp(FirstThumb, 0, std::max(0, count - SlotCount));
    const int first = FirstThumb;
    const int last = std::min(first + SlotCount - 1, count - 1);
    if (count > 0 && ThumbServer && Forms.LoaderDlg) {
        Forms.LoaderDlg->ThumbServer = ThumbServer.get();
        Forms.LoaderDlg->ThumbSlots = ThumbSlots;
        Forms.LoaderDlg->FirstIndex = first;
        Forms.LoaderDlg->LastIndex = last;
        Forms.LoaderDlg->Execute();
    }
    for (int k = 0; k < SlotCount; ++k) {
        if (k <= last - first)
            ThumbSlots[k]->update();
        else
            ThumbSlots[k]->hide();
    }
    thumbstats_lbl->setText(QString("%1 - %2 / %3").arg(first + 1).arg(last + 1).arg(count));
    thumbstats_lbl->setVisible(count > 0);
    if (Preview) Preview->StripChanged();
    ShowThumbTimes(*this);
}

void TMainDlg::UpdatePictureCount() {
    SetStatusText(0, QString("%1 %2").arg(PicturePaths.Count()).arg(Translate("pictures")));
}

void TMainDlg::addphotos_btnClick() {
    if (Running()) return;
    TFileDialogRequest request;
    request.Mode = TFileDialogMode::OpenMany;
    request.Owner = this;
    request.InitialFolder = QString::fromStdString(ReadSetting("PicsPath"));
    request.Filter = PicturesFilter;
    const QStringList chosen = RunFileDialog(request);
    if (chosen.isEmpty()) return;
    std::vector<std::string> files;
    for (const QString& name : chosen) files.push_back(name.toStdString());
    SortByDirectoryOrder(files);
    AddPictureEntries(files);
    if (!files.empty()) WriteSetting("PicsPath", FolderOf(files.front()));
}

void TMainDlg::imgreset_btnClick() {
    if (Running()) return;
    ClearPictures();
    thumbstats_lbl->clear();
    img->hide();
    UpdatePictureCount();
}

void TMainDlg::next_btnClick() {
    const int count = static_cast<int>(PicturePaths.Count());
    if (count <= SlotCount) return;
    const int first = std::min(FirstThumb + 1, count - SlotCount);
    if (first == FirstThumb) return;
    // Shift the strip left: only the newly exposed slot is decoded.
    for (int k = 0; k < SlotCount - 1; ++k) {
        ThumbSlots[k]->SetPicture(ThumbSlots[k + 1]->Picture());
        ThumbSlots[k]->Tag = ThumbSlots[k + 1]->Tag;
    }
    ThumbSlots[SlotCount - 1]->Tag = -1;
    FirstThumb = first;
    RefreshThumbStrip();
}

void TMainDlg::prev_btnClick() {
    if (PicturePaths.Empty()) return;
    const int first = std::max(FirstThumb - 1, 0);
    if (first == FirstThumb) return;
    for (int k = SlotCount - 1; k > 0; --k) {
        ThumbSlots[k]->SetPicture(ThumbSlots[k - 1]->Picture());
        ThumbSlots[k]->Tag = ThumbSlots[k - 1]->Tag;
    }
    ThumbSlots[0]->Tag = -1;
    FirstThumb = first;
    RefreshThumbStrip();
}

void TMainDlg::jump_btnClick() {
    const int count = static_cast<int>(PicturePaths.Count());
    if (count <= SlotCount || !Forms.JumpDlg) return;
    Forms.JumpDlg->PictureCount = count;
    if (!Forms.JumpDlg->Execute(FirstThumb)) return;
    FirstThumb = Forms.JumpDlg->Position();
    RefreshThumbStrip();
}

void TMainDlg::organize_btnClick() {
    if (Running() || !Forms.ReorderDlg) return;
    Forms.ReorderDlg->PicturePaths = &PicturePaths;
    Forms.ReorderDlg->PictureCaptions = &PictureCaptions;
    Forms.ReorderDlg->ThumbServer = ThumbServer.get();
    Forms.ReorderDlg->PictureStyles = &PictureStyles;
    Forms.ReorderDlg->ShowTimeMs = time_txt->Value();
    Forms.ReorderDlg->Execute();
    // The list may have changed: every slot is drawn again.
    for (TImageControl* slot : ThumbSlots) slot->Tag = -1;
    RefreshThumbStrip();
    UpdatePictureCount();
}

void TMainDlg::ThumbDblClick(int slot) {
    if (Running() || !Forms.ReorderDlg || slot < 0 || slot >= SlotCount) return;
    Forms.ReorderDlg->StartIndex = ThumbSlots[slot]->Tag;
    organize_btnClick();
}

// ---- Files dropped on the window: copy only, and none during a run ----

bool TMainDlg::AcceptsDrop(const QMimeData* data, Qt::DropActions actions) const {
    if (!started_ || Running() || !data || !data->hasUrls() || !(actions & Qt::CopyAction))
        return false;
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); });
}

void TMainDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!AcceptsDrop(event->mimeData(), event->possibleActions())) return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TMainDlg::dragMoveEvent(QDragMoveEvent* event) {
    if (!AcceptsDrop(event->mimeData(), event->possibleActions())) return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TMainDlg::dropEvent(QDropEvent* event) {
    if (!AcceptsDrop(event->mimeData(), event->possibleActions())) return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) DropList.push_back(url.toLocalFile().toStdString());
    if (!DropList.empty()) FilesDropped();
}

void TMainDlg::FilesDropped() {
    std::vector<std::string> names;
    names.swap(DropList); // emptied whatever happens below
    if (Running() || names.empty()) return;
    try {
        if (std::all_of(names.begin(), names.end(), IsSongName))
            SetSongs(names);
        else
            AddPictureEntries(names);
    } catch (...) {
        // As Browse: the error is shown, and what the window held stays.
        ShowError(std::current_exception());
    }
}
