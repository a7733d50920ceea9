#include "pictures/U_PictureStyleBox.h"

#include <QComboBox>
#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <utility>

#include "app/U_RunSettings.h"

namespace {

constexpr const char* AsTheShow = "As the show";

template <typename T>
QComboBox* ChoiceList(QWidget* parent, const char* name, const std::vector<TStyleName<T>>& names) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItem(AsTheShow);
    for (const auto& n : names) box->addItem(n.Label);
    return box;
}

// Item 0 is "As the show"; item k + 1 is names[k].
template <typename T>
void ShowChoice(QComboBox* box, const std::vector<TStyleName<T>>& names,
                const std::optional<T>& value) {
    int item = 0;
    for (std::size_t k = 0; value && k < names.size(); ++k)
        if (names[k].Value == *value) item = static_cast<int>(k) + 1;
    box->setCurrentIndex(item);
}

template <typename T>
std::optional<T> ChoiceOf(const QComboBox* box, const std::vector<TStyleName<T>>& names) {
    const int item = box->currentIndex();
    if (item < 1 || item > static_cast<int>(names.size())) return std::nullopt;
    return names[static_cast<std::size_t>(item - 1)].Value;
}

QLabel* Label(QWidget* parent, const char* name, const char* caption, QWidget* buddy) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setBuddy(buddy);
    return label;
}

} // namespace

TPictureStyleBox::TPictureStyleBox(QWidget* parent) : QWidget(parent) {
    setObjectName("pstyle_pnl");
    ptime_txt = new QLineEdit(this);
    ptime_txt->setObjectName("ptime_txt");
    // Digits only; the range is applied when the value is taken, as the window's time box does.
    ptime_txt->setValidator(new QIntValidator(0, 999999, ptime_txt));
    ptime_txt->setMaxLength(6);
    ptrans_cmb = ChoiceList(this, "ptrans_cmb", TransitionNames());
    pmotion_cmb = ChoiceList(this, "pmotion_cmb", MotionNames());
    pfill_cmb = ChoiceList(this, "pfill_cmb", FillNames());
    ptime_lbl = Label(this, "ptime_lbl", "Time (ms) :", ptime_txt);
    ptrans_lbl = Label(this, "ptrans_lbl", "Transition :", ptrans_cmb);
    pmotion_lbl = Label(this, "pmotion_lbl", "Motion :", pmotion_cmb);
    pfill_lbl = Label(this, "pfill_lbl", "Fill :", pfill_cmb);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    // One row each: translated labels and choices ("As the show") need the whole width.
    const std::pair<QLabel*, QWidget*> rows[] = {{ptime_lbl, ptime_txt},
                                                 {ptrans_lbl, ptrans_cmb},
                                                 {pmotion_lbl, pmotion_cmb},
                                                 {pfill_lbl, pfill_cmb}};
    for (int row = 0; row < 4; ++row) {
        grid->addWidget(rows[row].first, row, 0);
        grid->addWidget(rows[row].second, row, 1);
    }
    grid->setColumnStretch(1, 1);
    setTabOrder(ptime_txt, ptrans_cmb);
    setTabOrder(ptrans_cmb, pmotion_cmb);
    setTabOrder(pmotion_cmb, pfill_cmb);

    const auto changed = [this] {
        if (!loading_) emit Changed();
    };
    connect(ptime_txt, &QLineEdit::textEdited, this, changed);
    connect(ptime_txt, &QLineEdit::editingFinished, this, &TPictureStyleBox::TidyTime);
    for (QComboBox* box : {ptrans_cmb, pmotion_cmb, pfill_cmb})
        connect(box, &QComboBox::currentIndexChanged, this, changed);
}

void TPictureStyleBox::Load(const TPictureStyle& style, int showTimeMs) {
    loading_ = true;
    ptime_txt->setText(style.TimeMs ? QString::number(*style.TimeMs) : QString());
    ptime_txt->setPlaceholderText(QString::number(showTimeMs));
    ShowChoice(ptrans_cmb, TransitionNames(), style.Transition);
    ShowChoice(pmotion_cmb, MotionNames(), style.Motion);
    ShowChoice(pfill_cmb, FillNames(), style.Fill);
    loading_ = false;
}

TPictureStyle TPictureStyleBox::Style() const {
    TPictureStyle style;
    bool ok = false;
    const int typed = ptime_txt->text().toInt(&ok);
    if (ok) style.TimeMs = std::clamp(typed, MinPictureDurationMs, MaxPictureDurationMs);
    style.Transition = ChoiceOf(ptrans_cmb, TransitionNames());
    style.Motion = ChoiceOf(pmotion_cmb, MotionNames());
    style.Fill = ChoiceOf(pfill_cmb, FillNames());
    return style;
}

void TPictureStyleBox::TidyTime() {
    const TPictureStyle style = Style();
    const QString shown = style.TimeMs ? QString::number(*style.TimeMs) : QString();
    if (ptime_txt->text() != shown) ptime_txt->setText(shown);
}

QString PictureTimeText(const TPictureStyle& style, int showTimeMs) {
    return QString("%1 ms").arg(style.TimeMs ? *style.TimeMs : showTimeMs);
}
