#include "app/U_StyleInputs.h"

#include <QString>

#include "app/U_MainDlg.h"
#include "pictures/U_PictureStyleBox.h"
#include "platform/U_Controls.h"
#include "platform/os/U_FileOps.h"

std::vector<TPictureStyle> PictureStylesOf(const TStringList& styles) {
    std::vector<TPictureStyle> parsed;
    parsed.reserve(styles.Count());
    for (const std::string& text : styles.Items()) parsed.push_back(ParsePictureStyle(text));
    return parsed;
}

void AddStyleInputs(const TMainDlg& window, TRunInputs& inputs) {
    inputs.Style = window.ShowStyle;
    inputs.PictureStyles = PictureStylesOf(window.PictureStyles);
}

void ShowThumbTimes(TMainDlg& w) {
    const int showTime = w.time_txt->value();
    const int count = static_cast<int>(w.PicturePaths.Count());
    for (TImageControl* slot : w.ThumbSlots) {
        if (!slot) continue;
        const int i = slot->Tag;
        if (i < 0 || i >= count) {
            slot->setToolTip({});
            continue;
        }
        const TPictureStyle style = i < static_cast<int>(w.PictureStyles.Count())
                                        ? ParsePictureStyle(w.PictureStyles.At(i))
                                        : TPictureStyle{};
        slot->setToolTip(QString::fromStdString(FileNameOf(w.PicturePaths.At(i))) + "\n" +
                         PictureTimeText(style, showTime));
    }
}
