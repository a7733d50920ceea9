#include "pictures/U_ReorderDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <exception>

#include "pictures/U_PictureStyleBox.h"
#include "platform/U_Shell.h"
#include "platform/base/U_StringList.h"
#include "platform/image/U_Bitmap32.h"
#include "video/U_FrameServer.h"
#include "video/U_ShowStyle.h"

namespace {

constexpr int ColNumber = 0;
constexpr int ColText = 1;
constexpr int ColPhoto = 2;
constexpr int PreviewWidth = 100;
constexpr int PreviewHeight = 75;
constexpr int CaptionLimit = 50;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QTableWidgetItem* Cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

TReorderDlg::TReorderDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("ReorderDlg");
    setWindowTitle("Organize");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(QFont("DejaVu Sans", 8));
    BuildForm();
    resize(511, 607);
    setMinimumSize(519 - 8, 569 - 27); // the outer minimum less the frame

    connect(lst, &QTableWidget::itemSelectionChanged, this, &TReorderDlg::lstChange);
    connect(lst, &QTableWidget::cellClicked, this, &TReorderDlg::lstClick);
    connect(change_btn, &QPushButton::clicked, this, &TReorderDlg::change_btnClick);
    connect(del_btn, &QPushButton::clicked, this, &TReorderDlg::del_btnClick);
    connect(txt, &QLineEdit::textChanged, this, &TReorderDlg::txtChange);
    connect(pstyle, &TPictureStyleBox::Changed, this, &TReorderDlg::pstyleChange);
    connect(shuffle_btn, &QPushButton::clicked, this, &TReorderDlg::shuffle_btnClick);
    connect(exit_btn, &QPushButton::clicked, this, &QDialog::reject);
}

void TReorderDlg::BuildForm() {
    pic_grp = new QGroupBox("Pictures", this);
    pic_grp->setObjectName("pic_grp");
    lst = new QTableWidget(0, 3, pic_grp);
    lst->setObjectName("lst");
    lst->setHorizontalHeaderLabels({"#", "Text", "Photo"});
    lst->verticalHeader()->hide();
    lst->verticalHeader()->setDefaultSectionSize(lst->fontMetrics().height() + 6);
    lst->setShowGrid(true);
    lst->setSelectionBehavior(QAbstractItemView::SelectRows);
    lst->setSelectionMode(QAbstractItemView::SingleSelection);
    lst->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lst->setTabKeyNavigation(false); // Tab leaves the list for the next control
    lst->setWordWrap(false);
    QHeaderView* header = lst->horizontalHeader();
    header->setSectionResizeMode(ColNumber, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(ColText, QHeaderView::ResizeToContents);
    header->setStretchLastSection(true);
    header->setHighlightSections(false);
    // The selection stays as visible when the list loses the focus to the panel's controls.
    QPalette palette = lst->palette();
    for (const auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    lst->setPalette(palette);
    lst->installEventFilter(this);
    auto* picLayout = new QVBoxLayout(pic_grp);
    picLayout->addWidget(lst);

    sel_grp = new QGroupBox(QString(), this);
    sel_grp->setObjectName("sel_grp");
    img = new QLabel(sel_grp);
    img->setObjectName("img");
    img->setFixedSize(PreviewWidth, PreviewHeight);
    img->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    pos_lbl = new QLabel("New Position", sel_grp);
    pos_lbl->setObjectName("pos_lbl");
    pos_txt = new QSpinBox(sel_grp);
    pos_txt->setObjectName("pos_txt");
    pos_lbl->setBuddy(pos_txt);
    change_btn = new QPushButton("Move", sel_grp);
    change_btn->setObjectName("change_btn");
    // Enter after typing a position moves the picture there.
    change_btn->setDefault(true);
    del_btn = new QPushButton("Delete", sel_grp);
    del_btn->setObjectName("del_btn");
    txt_lbl = new QLabel("Text : ", sel_grp);
    txt_lbl->setObjectName("txt_lbl");
    txt = new QLineEdit(sel_grp);
    txt->setObjectName("txt");
    txt->setMaxLength(CaptionLimit);
    txt_lbl->setBuddy(txt);
    pstyle = new TPictureStyleBox(sel_grp);

    auto* imgBox = new QWidget(sel_grp); // keeps its place while the preview is hidden
    imgBox->setFixedSize(PreviewWidth, PreviewHeight);
    img->setParent(imgBox);
    auto* controls = new QGridLayout;
    controls->addWidget(pos_lbl, 0, 0);
    controls->addWidget(pos_txt, 0, 1);
    controls->addWidget(change_btn, 0, 2);
    controls->addWidget(del_btn, 0, 3);
    controls->addWidget(txt_lbl, 1, 0);
    controls->addWidget(txt, 1, 1, 1, 3);
    controls->addWidget(pstyle, 2, 0, 1, 4);
    controls->setColumnStretch(1, 1);
    auto* selLayout = new QHBoxLayout(sel_grp);
    selLayout->addWidget(imgBox, 0, Qt::AlignTop);
    selLayout->addLayout(controls, 1);

    shuffle_btn = new QPushButton("Shuffle", this);
    shuffle_btn->setObjectName("shuffle_btn");
    exit_btn = new QPushButton("Exit", this);
    exit_btn->setObjectName("exit_btn");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(shuffle_btn);
    buttons->addStretch();
    buttons->addWidget(exit_btn);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pic_grp, 1);
    layout->addWidget(sel_grp);
    layout->addLayout(buttons);

    setTabOrder(lst, pos_txt);
    setTabOrder(pos_txt, change_btn);
    setTabOrder(change_btn, del_btn);
    setTabOrder(del_btn, txt);
    setTabOrder(txt, pstyle->ptime_txt);
    setTabOrder(pstyle->pfill_cmb, shuffle_btn);
    setTabOrder(shuffle_btn, exit_btn);
}

int TReorderDlg::PictureCount() const {
    return PicturePaths ? static_cast<int>(PicturePaths->Count()) : 0;
}

bool TReorderDlg::HasStyles() const {
    return PictureStyles && static_cast<int>(PictureStyles->Count()) == PictureCount();
}

int TReorderDlg::SelectedRow() const {
    const QList<QTableWidgetSelectionRange> ranges = lst->selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.front().topRow();
}

void TReorderDlg::SelectRow(int row) {
    lst->setCurrentCell(row, ColNumber);
    lst->selectRow(row);
}

void TReorderDlg::SetRow(int row, const QString& text, const QString& photo) {
    lst->setItem(row, ColNumber, Cell(QString::number(row + 1)));
    lst->setItem(row, ColText, Cell(text));
    lst->setItem(row, ColPhoto, Cell(photo));
}

void TReorderDlg::Renumber(int from, int to) {
    for (int row = from; row <= to; ++row)
        lst->item(row, ColNumber)->setText(QString::number(row + 1));
}

void TReorderDlg::FillList() {
    const int count = PictureCount();
    const QSignalBlocker block(lst);
    lst->setUpdatesEnabled(false);
    lst->clearContents();
    lst->setRowCount(count);
    for (int i = 0; i < count; ++i) SetRow(i, Q(PictureCaptions->At(i)), Q(PicturePaths->At(i)));
    lst->setUpdatesEnabled(true);
}

bool TReorderDlg::Execute() {
    Shuffling = false;
    changed_ = false;
    panelRow_ = -1;
    scrollRow_ = -1;
    const int count = PicturePaths && PictureCaptions ? PictureCount() : 0;
    if (PicturePaths) FillList();

    img->hide();
    sel_grp->setTitle(QString());
    {
        const QSignalBlocker block(txt);
        txt->clear();
        txt->setMaxLength(CaptionLimit);
    }
    pos_txt->setMinimum(0);
    pos_txt->setValue(0);
    pos_txt->setRange(1, std::max(count, 1));
    // A list of styles out of step (none kept yet) is filled with plain pictures.
    if (PictureStyles && PicturePaths && PictureStyles->Count() != PicturePaths->Count()) {
        std::vector<std::string> styles = PictureStyles->Items();
        styles.resize(PicturePaths->Count());
        PictureStyles->Assign(std::move(styles));
    }
    pstyle->Load({}, ShowTimeMs);
    pstyle->setEnabled(false);

    if (count == 0 || PictureCaptions->Count() != PicturePaths->Count()) {
        StartIndex = -1;
        return false;
    }
    // A row that no longer exists selects nothing rather than failing.
    const int start = StartIndex < count ? StartIndex : -1;
    if (start >= 0) {
        {
            const QSignalBlocker block(lst);
            SelectRow(start);
        }
        // A picture that cannot be read shows its error; the dialog opens all the same, with
        // its row selected and no preview, so that it can be moved or deleted.
        RefreshSelection();
        scrollRow_ = start < count - 3 ? start + 2 : start;
    }
    lst->setFocus();
    exec();
    StartIndex = -1;
    if (changed_ && ListChanged) ListChanged();
    return true;
}

void TReorderDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (scrollRow_ >= 0 && scrollRow_ < lst->rowCount())
        lst->scrollToItem(lst->item(scrollRow_, ColNumber));
    scrollRow_ = -1;
}

void TReorderDlg::lstClick() {
    // The selection change that came with the click has refreshed the panel already.
    if (SelectedRow() != panelRow_) RefreshSelection();
}

void TReorderDlg::lstChange() {
    if (!Shuffling) RefreshSelection();
}

void TReorderDlg::RefreshSelection() {
    const int row = SelectedRow();
    if (row < 0 || row >= PictureCount()) {
        panelRow_ = -1;
        return;
    }
    panelRow_ = row;
    img->hide();
    sel_grp->setTitle(Q(PicturePaths->At(row)));
    {
        // Filling the edit is not an edit: nothing is written back. A longer caption from a
        // project file is shown whole; only typing is held to the limit.
        const QSignalBlocker block(txt);
        const QString caption = Q(PictureCaptions->At(row));
        txt->setMaxLength(std::max<int>(CaptionLimit, static_cast<int>(caption.size())));
        txt->setText(caption);
    }
    pos_txt->setValue(row + 1);
    pstyle->Load(HasStyles() ? ParsePictureStyle(PictureStyles->At(row)) : TPictureStyle{},
                 ShowTimeMs);
    pstyle->setEnabled(HasStyles());
    ShowPreview(row);
}

void TReorderDlg::ShowPreview(int row) {
    if (!ThumbServer) return;
    TBitmap32 frame;
    try {
        ThumbServer->GetFrame(frame, row);
    } catch (const std::exception& error) {
        ShowMessageBox(this, Q(error.what()), false, mkError);
        return;
    }
    const QImage image(reinterpret_cast<const uchar*>(frame.Pixels.data()), frame.Width,
                       frame.Height, frame.Width * 4, QImage::Format_RGB32);
    img->setPixmap(QPixmap::fromImage(image.copy()));
    img->show();
}

void TReorderDlg::txtChange() {
    const int row = SelectedRow();
    if (row < 0 || row >= PictureCount()) return;
    const QString text = txt->text();
    PictureCaptions->Set(row, text.toStdString());
    lst->item(row, ColText)->setText(text);
    changed_ = true;
}

void TReorderDlg::pstyleChange() {
    const int row = SelectedRow();
    if (row < 0 || row >= PictureCount() || !HasStyles()) return;
    PictureStyles->Set(row, PictureStyleText(pstyle->Style()));
    changed_ = true;
}

void TReorderDlg::change_btnClick() {
    const int c = SelectedRow();
    if (c < 0) return;
    pos_txt->interpretText(); // a position still being typed counts, clamped into range
    const int n = pos_txt->value() - 1;
    if (n == c || n < 0 || n >= PictureCount()) return;

    const bool styles = HasStyles();
    PicturePaths->Move(c, n);
    PictureCaptions->Move(c, n);
    if (styles) PictureStyles->Move(c, n);
    changed_ = true;
    {
        const QSignalBlocker block(lst);
        lst->setUpdatesEnabled(false);
        const QString text = lst->item(c, ColText)->text();
        const QString photo = lst->item(c, ColPhoto)->text();
        lst->removeRow(c);
        lst->insertRow(n);
        SetRow(n, text, photo);
        Renumber(std::min(c, n), std::max(c, n));
        lst->clearSelection();
        lst->setUpdatesEnabled(true);
    }
    SelectRow(n);
    lst->setFocus();
}

void TReorderDlg::del_btnClick() {
    const int c = SelectedRow();
    if (c < 0) return;
    const bool styles = HasStyles();
    {
        const QSignalBlocker block(lst);
        lst->removeRow(c);
        lst->clearSelection();
    }
    PicturePaths->Delete(c);
    PictureCaptions->Delete(c);
    if (styles) PictureStyles->Delete(c);
    changed_ = true;
    Renumber(c, lst->rowCount() - 1);
    pos_txt->setMaximum(std::max(pos_txt->maximum() - 1, pos_txt->minimum()));
    img->hide();
    sel_grp->setTitle(QString());
    pstyle->setEnabled(false);
    panelRow_ = -1;
}

std::uint32_t TReorderDlg::Random(std::uint32_t& state, std::uint32_t range) {
    state = state * 134775813u + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(state) * range) >> 32);
}

void TReorderDlg::Shuffle(std::uint32_t seed) {
    const int count = PictureCount();
    Shuffling = true;
    RandSeed = seed;
    for (int i = 0; i < count; ++i) {
        SelectRow(i);
        pos_txt->setValue(static_cast<int>(Random(RandSeed, static_cast<std::uint32_t>(count))) +
                          1);
        change_btnClick();
    }
    Shuffling = false;
    {
        // The panel keeps what it showed before the shuffle.
        const QSignalBlocker block(lst);
        lst->clearSelection();
    }
    panelRow_ = -1;
}

void TReorderDlg::shuffle_btnClick() {
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    Shuffle(static_cast<std::uint32_t>(ticks));
}

bool TReorderDlg::eventFilter(QObject* watched, QEvent* event) {
    // Delete removes the selected picture only while the list itself has the key.
    if (watched == lst && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
            del_btnClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
