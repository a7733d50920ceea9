#include "lang/U_LanguageChoice.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QStyledItemDelegate>

#include "lang/U_LangFile.h"
#include "lang/U_LangList.h"

namespace {

constexpr int HeaderHeight = 16;
constexpr int BevelHeight = 2;
constexpr int ItemHeight = 32;

constexpr int IconRole = Qt::UserRole + 1;

// Each entry: the language's icon unscaled in a cream frame, then its display name.
class TLanguageDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QRect r = option.rect;
        const bool selected = option.state & QStyle::State_Selected;
        painter->fillRect(r, option.palette.brush(selected ? QPalette::Highlight : QPalette::Base));
        const QPixmap icon = index.data(IconRole).value<QPixmap>();
        const int top = (r.top() + r.bottom() - 28) / 2;
        if (!icon.isNull()) {
            painter->setPen(QColor(255, 251, 240));
            painter->drawRect(r.left() + 3, top - 1, icon.width() + 1, icon.height() + 1);
            painter->drawPixmap(r.left() + 4, top, icon);
        }
        painter->setPen(
            option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(QRect(r.left() + icon.width() + 12, r.top(), r.width(), r.height()),
                          Qt::AlignVCenter | Qt::AlignLeft, index.data().toString());
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), ItemHeight};
    }
};

} // namespace

QPixmap LanguageIcon(const std::string& path) {
    TStorefile store;
    if (!OpenLanguageFile(store, path)) return {};
    try {
        const TLanguageRecord record = ReadLanguageHeader(store);
        QPixmap icon;
        if (!record.Icon.empty())
            icon.loadFromData(record.Icon.data(), static_cast<uint>(record.Icon.size()), "BMP");
        return icon;
    } catch (const std::exception&) {
        return {};
    }
}

TLanguageChoice::TLanguageChoice(QWidget* parent) : QListWidget(parent) {
    resize(121, 100);
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Plain);
    setBackgroundRole(QPalette::Button);
    setItemDelegate(new TLanguageDelegate(this));
    header_ = new QLabel(this);
    header_->setObjectName("lng_header");
    bevel_ = new QFrame(this);
    bevel_->setFrameShape(QFrame::HLine);
    bevel_->setFrameShadow(QFrame::Raised);
    setViewportMargins(0, HeaderHeight + BevelHeight, 0, 0);
    connect(this, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { Choose(row(item)); });
    // Enter on an entry chooses it too; on the applied entry it changes nothing.
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (list_ && row(item) != list_->LanguageIndex()) Choose(row(item));
    });
}

void TLanguageChoice::resizeEvent(QResizeEvent* event) {
    QListWidget::resizeEvent(event);
    const QRect inner = contentsRect();
    header_->setGeometry(inner.left(), inner.top(), inner.width(), HeaderHeight);
    bevel_->setGeometry(inner.left(), inner.top() + HeaderHeight, inner.width(), BevelHeight);
}

void TLanguageChoice::SetLanguageList(TLangList* list) {
    list_ = list;
    clear();
    if (!list) return;
    list->ScanLanguages();
    Refill();
    auto previous = list->AfterLanguageSwitch;
    list->AfterLanguageSwitch = [this, previous, list] {
        if (list_ == list) setCurrentRow(list->LanguageIndex());
        if (previous) previous();
        header_->setText("  " + QString::fromStdString(list->CurrentLanguageName()));
    };
    header_->setText("  " + QString::fromStdString(list->CurrentLanguageName()));
}

void TLanguageChoice::Refill() {
    clear();
    if (!list_) return;
    for (const TLanguageListing& language : list_->Languages()) {
        // The icon is the one of the language's first file, in the folder this file is in.
        const std::string folder = language.Path.substr(0, language.Path.rfind('/') + 1);
        const std::string first =
            LanguageFileName(folder, list_->FilePrefix, language.Key & 0xFFFFu);
        auto* item = new QListWidgetItem(QString::fromStdString(language.DisplayName), this);
        item->setData(IconRole, LanguageIcon(first));
    }
    if (list_->LastApplySucceeded()) setCurrentRow(list_->LanguageIndex());
}

void TLanguageChoice::Choose(int row) {
    if (!list_ || row < 0 || row >= count()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    list_->SetLanguageIndex(row);
    header_->setText(QString::fromStdString(list_->CurrentLanguageName()));
    QApplication::restoreOverrideCursor();
}
