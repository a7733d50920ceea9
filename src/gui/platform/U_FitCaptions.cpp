#include "U_FitCaptions.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <algorithm>

namespace {

constexpr int Gap = 4; // kept free between neighbours and from the parent's edge

QString CaptionOf(const QWidget* w) {
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
    if (auto* l = qobject_cast<const QLabel*>(w)) return l->pixmap().isNull() ? l->text() : "";
    return {};
}

bool SameRow(const QRect& a, const QRect& b) {
    return a.top() < b.bottom() && b.top() < a.bottom();
}

// The free room on the control's row: [left, right) in its parent's coordinates.
std::pair<int, int> FreeRoom(const QWidget* w) {
    const QWidget* parent = w->parentWidget();
    int left = Gap, right = parent->width() - Gap;
    const QRect own = w->geometry();
    for (const QObject* o : parent->children()) {
        const auto* s = qobject_cast<const QWidget*>(o);
        if (!s || s == w || s->isWindow() || !SameRow(own, s->geometry())) continue;
        if (s->geometry().left() >= own.right()) right = std::min(right, s->x() - Gap);
        if (s->geometry().right() <= own.left())
            left = std::max(left, s->geometry().right() + 1 + Gap);
    }
    return {left, right};
}

} // namespace

int CaptionWidth(const QWidget* w) {
    const QString caption = CaptionOf(w);
    if (caption.isEmpty()) return 0;
    const int text = w->fontMetrics().horizontalAdvance(QString(caption).remove('&'));
    if (qobject_cast<const QCheckBox*>(w) || qobject_cast<const QRadioButton*>(w) ||
        qobject_cast<const QToolButton*>(w))
        return w->sizeHint().width();
    if (qobject_cast<const QPushButton*>(w)) return text + 8;
    return text;
}

void FitCaptions(QWidget* root) {
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (w->isWindow() || !w->parentWidget()) continue;
        const int need = CaptionWidth(w);
        if (need <= w->width()) continue;
        auto* label = qobject_cast<QLabel*>(w);
        if (label && label->wordWrap()) continue;
        const auto [left, right] = FreeRoom(w);
        QRect g = w->geometry();
        const bool growLeft = label && (label->alignment() & Qt::AlignRight);
        if (growLeft)
            g.setLeft(std::max(left, g.right() + 1 - need));
        else
            g.setRight(std::min(right - 1, g.left() + need - 1));
        if (g.width() > w->width()) w->setGeometry(g);
        if (CaptionWidth(w) <= w->width()) continue;
        // No room left: a label wraps; a button keeps its whole caption in its tool tip.
        if (label)
            label->setWordWrap(true);
        else
            w->setToolTip(CaptionOf(w));
    }
}
