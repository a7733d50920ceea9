#include "U_Controls.h"

#include <QDialog>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>
#include <optional>

namespace {

// A whole number with an optional sign; none for anything else (empty text included).
std::optional<long long> ReadWholeNumber(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 18) return std::nullopt;
    bool ok = false;
    const long long value = t.toLongLong(&ok);
    if (!ok) return std::nullopt;
    return value;
}

} // namespace

TSpinEdit::TSpinEdit(QWidget* parent) : QSpinBox(parent) {
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

int TSpinEdit::Value() {
    interpretText();
    return value();
}

QValidator::State TSpinEdit::validate(QString& input, int&) const {
    const QString t = input.trimmed();
    if (t.isEmpty() || t == "-" || t == "+") return QValidator::Intermediate;
    const auto value = ReadWholeNumber(t);
    if (!value) return QValidator::Invalid;
    return (*value >= minimum() && *value <= maximum()) ? QValidator::Acceptable
                                                        : QValidator::Intermediate;
}

void TSpinEdit::fixup(QString& input) const {
    if (const auto value = ReadWholeNumber(input))
        input = QString::number(
            std::clamp<long long>(*value, minimum(), static_cast<long long>(maximum())));
}

TLinkLabel::TLinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, Qt::blue);
    setPalette(p);
    setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

TImageControl::TImageControl(QWidget* parent) : QWidget(parent) {}

void TImageControl::SetPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void TImageControl::ClearPicture() {
    picture_ = QImage();
    update();
}

void TImageControl::SetSelected(bool selected) {
    if (selected == selected_) return;
    selected_ = selected;
    update();
}

void TImageControl::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) return;
    QPainter painter(this);
    if (Stretch) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect(), picture_);
    } else {
        painter.drawImage(0, 0, picture_);
    }
    if (selected_) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 3));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(1, 1, -2, -2));
    }
}

void TImageControl::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) emit clicked();
}

void TImageControl::mouseDoubleClickEvent(QMouseEvent* event) {
    QWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) emit doubleClicked();
}

QImage ToQImage(const TBitmap32& bitmap) {
    if (bitmap.Empty()) return {};
    QImage image(bitmap.Width, bitmap.Height, QImage::Format_RGB32);
    for (int y = 0; y < bitmap.Height; ++y)
        std::memcpy(image.scanLine(y), bitmap.Row(y),
                    static_cast<std::size_t>(bitmap.Width) * sizeof(std::uint32_t));
    return image;
}

QPushButton* MakeOkButton(QDialog* dialog) {
    auto* button = new QPushButton("Ok", dialog);
    button->setObjectName("ok_btn");
    button->setDefault(true);
    QObject::connect(button, &QPushButton::clicked, dialog, &QDialog::accept);
    return button;
}

QHBoxLayout* CentredRow(std::initializer_list<QWidget*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QWidget* button : buttons) row->addWidget(button);
    row->addStretch();
    return row;
}
