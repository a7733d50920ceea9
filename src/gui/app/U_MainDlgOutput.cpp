// The output file and what follows from it: the output's Browse with the containers as file
// types, the codec list that shows what the output's container holds, and the Resolution box
// with its listed and typed sizes.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

#include "app/U_MainDlg.h"
#include "app/U_RunSettings.h"
#include "app/U_WindowRunChoices.h"
#include "platform/U_FileDialogs.h"
#include "platform/container/U_Container.h"
#include "platform/os/U_FileOps.h"
#include "platform/os/U_Settings.h"

namespace {

// The AVI first: it is the default and what a name without a container's extension becomes.
constexpr const char* OutputFilter =
    "AVI Files|*.avi|MP4 Files|*.mp4|MKV Files|*.mkv|WebM Files|*.webm";

// The three sizes the window always had, then the sizes of today's screens and phones.
const char* const ListedSizes[] = {"320x240",   "640x480",   "720x576",   "1280x720", "1920x1080",
                                   "2560x1440", "3840x2160", "1080x1920", "1080x1080"};

} // namespace

void TMainDlg::FillResolutions() {
    const QSignalBlocker block(res_cmb);
    res_cmb->clear();
    for (const char* size : ListedSizes) res_cmb->addItem(size);
    res_cmb->setCurrentIndex(1);
    lastResolution_ = res_cmb->currentText();
}

bool TMainDlg::CheckTypedResolution() {
    // A listed entry is read as it always was, at its 'x'.
    if (const int listed = res_cmb->findText(res_cmb->currentText()); listed >= 0) {
        // The preview follows the selected entry.
        if (res_cmb->currentIndex() != listed) res_cmb->setCurrentIndex(listed);
        lastResolution_ = res_cmb->currentText();
        return true;
    }
    const QString typed = res_cmb->currentText().trimmed();
    const auto size = ParseTypedSize(typed.toStdString());
    if (!size) {
        const QSignalBlocker block(res_cmb);
        res_cmb->setCurrentText(lastResolution_);
        SetStatusText(1, Translate("The size must be WxH, each side within %1..%2.")
                             .arg(MinTypedSide)
                             .arg(MaxTypedSide));
        return false;
    }
    // One spelling for the run and the log: "1024X600 " is 1024x600.
    const QString text = QString("%1x%2").arg(size->Width).arg(size->Height);
    if (const int listed = res_cmb->findText(text); listed >= 0) res_cmb->setCurrentIndex(listed);
    if (text != res_cmb->currentText()) {
        const QSignalBlocker block(res_cmb);
        res_cmb->setCurrentText(text);
    }
    lastResolution_ = text;
    return true;
}

void TMainDlg::out_btnClick() {
    const QString chosen = SaveFileDialog(this, QString::fromStdString(ReadSetting("OutPath")),
                                          OutputFilter, "avi", false);
    if (chosen.isEmpty()) return;
    // A container's extension stays as chosen; anything else gets ".avi", compared exactly as
    // always: clip.AVI becomes clip.AVI.avi.
    out_txt->setText(QString::fromStdString(WithContainerExtension(chosen.toStdString())));
    WriteSetting("OutPath", FolderOf(chosen.toStdString()));
}

void TMainDlg::FitCodecsToOutput() {
    if (!codecsReady_) return;
    const TContainer container = ContainerOf(WithContainerExtension(out_txt->text().toStdString()));
    std::vector<std::string> fitting;
    for (const std::string& line : allCodecLines_)
        if (CodecLineFits(container, line)) fitting.push_back(line);
    std::vector<std::string> shown;
    for (int i = 0; i < codecs_cmb->count(); ++i)
        shown.push_back(codecs_cmb->itemText(i).toStdString());
    if (shown == fitting) return;

    const QString selected = codecs_cmb->currentText();
    codecs_cmb->clear();
    for (const std::string& line : fitting) codecs_cmb->addItem(QString::fromStdString(line));
    if (fitting.empty()) return;
    int index =
        selected.isEmpty() ? ChooseCodecIndex(fitting, lastFcc_) : codecs_cmb->findText(selected);
    if (index >= 0) {
        codecs_cmb->setCurrentIndex(index);
        return;
    }
    // The selected codec does not go into this container: its usual one, else the first.
    const std::string fallback = FallbackFourCC(container);
    index = 0;
    for (std::size_t i = 0; i < fitting.size(); ++i)
        if (SameFourCC(fitting[i].substr(0, 4), fallback)) index = static_cast<int>(i);
    codecs_cmb->setCurrentIndex(index);
    SetStatusText(1, Translate("The %1 container cannot hold %2: %3 selected.")
                         .arg(QString::fromStdString(ContainerName(container)),
                              selected.left(4).trimmed(), codecs_cmb->currentText()));
}
