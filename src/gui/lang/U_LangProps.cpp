#include "lang/U_LangProps.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QWidget>

#include "lang/U_TextStorage.h"

namespace {

// A hint whose "show" flag is off is kept here, so that it is not lost while no tool tip
// shows it.
constexpr const char* HiddenHintProperty = "morvantaHiddenHint";

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

// A QAction without a tool tip of its own reports its text; that is not a hint.
QString ActionText(const QAction* action) {
    QString text = action->text();
    text.remove('&');
    return text;
}

} // namespace

std::optional<QString> ComponentCaption(const TLangComponent& c) {
    QObject* o = c.Object;
    if (!o) return std::nullopt;
    if (c.IsForm) {
        if (auto* w = qobject_cast<QWidget*>(o)) return w->windowTitle();
        return std::nullopt;
    }
    if (auto* b = qobject_cast<QAbstractButton*>(o)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(o)) return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(o)) return g->title();
    if (auto* m = qobject_cast<QMenu*>(o)) return m->title();
    if (auto* a = qobject_cast<QAction*>(o)) return a->isSeparator() ? QString() : a->text();
    if (auto* e = qobject_cast<QLineEdit*>(o)) return e->text();
    return std::nullopt;
}

bool SetComponentCaption(const TLangComponent& c, const QString& text) {
    QObject* o = c.Object;
    if (!o) return false;
    if (c.IsForm) {
        auto* w = qobject_cast<QWidget*>(o);
        if (w) w->setWindowTitle(text);
        return w != nullptr;
    }
    if (auto* b = qobject_cast<QAbstractButton*>(o))
        b->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(o))
        l->setText(text);
    else if (auto* g = qobject_cast<QGroupBox*>(o))
        g->setTitle(text);
    else if (auto* m = qobject_cast<QMenu*>(o))
        m->setTitle(text);
    else if (auto* a = qobject_cast<QAction*>(o))
        a->setText(text);
    else if (auto* e = qobject_cast<QLineEdit*>(o))
        e->setText(text);
    else
        return false;
    return true;
}

std::optional<QString> ComponentHint(const TLangComponent& c) {
    QObject* o = c.Object;
    if (!o) return std::nullopt;
    if (const QVariant hidden = o->property(HiddenHintProperty); hidden.isValid())
        return hidden.toString();
    if (auto* w = qobject_cast<QWidget*>(o)) return w->toolTip();
    if (auto* a = qobject_cast<QAction*>(o))
        return a->toolTip() == ActionText(a) ? QString() : a->toolTip();
    return std::nullopt;
}

bool ComponentShowHint(const TLangComponent& c) {
    return c.Object && !c.Object->property(HiddenHintProperty).isValid();
}

bool SetComponentHint(const TLangComponent& c, const QString& text, bool show) {
    QObject* o = c.Object;
    if (!o) return false;
    auto* w = qobject_cast<QWidget*>(o);
    auto* a = qobject_cast<QAction*>(o);
    if (!w && !a) return false;
    const QString shown = show ? text : QString();
    if (w) w->setToolTip(shown);
    if (a) a->setToolTip(shown);
    o->setProperty(HiddenHintProperty, show ? QVariant() : QVariant(text));
    return true;
}

std::optional<QStringList> ComponentItems(const TLangComponent& c) {
    if (c.Storage) {
        QStringList items;
        for (const std::string& line : c.Storage->Items.Items()) items << FromStd(line);
        return items;
    }
    QObject* o = c.Object;
    if (auto* combo = qobject_cast<QComboBox*>(o)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
        return items;
    }
    if (auto* list = qobject_cast<QListWidget*>(o)) {
        QStringList items;
        for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
        return items;
    }
    if (auto* edit = qobject_cast<QPlainTextEdit*>(o)) {
        const QString text = edit->toPlainText();
        return text.isEmpty() ? QStringList() : text.split('\n');
    }
    return std::nullopt;
}

bool ReplaceComponentItems(const TLangComponent& c, const QStringList& lines) {
    if (c.Storage) {
        const auto count = std::min<std::size_t>(c.Storage->Items.Count(), lines.size());
        for (std::size_t j = 0; j < count; ++j)
            c.Storage->Items.Set(static_cast<long long>(j),
                                 lines[static_cast<qsizetype>(j)].toStdString());
        return true;
    }
    QObject* o = c.Object;
    if (auto* combo = qobject_cast<QComboBox*>(o)) {
        for (int j = 0; j < std::min<int>(combo->count(), lines.size()); ++j)
            combo->setItemText(j, lines[j]);
        return true;
    }
    if (auto* list = qobject_cast<QListWidget*>(o)) {
        for (int j = 0; j < std::min<int>(list->count(), lines.size()); ++j)
            list->item(j)->setText(lines[j]);
        return true;
    }
    if (auto* edit = qobject_cast<QPlainTextEdit*>(o)) {
        QStringList current = ComponentItems(c).value_or(QStringList());
        if (current.isEmpty()) return true;
        for (int j = 0; j < std::min<int>(current.size(), lines.size()); ++j) current[j] = lines[j];
        edit->setPlainText(current.join('\n'));
        return true;
    }
    return false;
}

std::optional<int> ComponentItemIndex(const TLangComponent& c) {
    if (auto* combo = qobject_cast<QComboBox*>(c.Object)) return combo->currentIndex();
    if (auto* list = qobject_cast<QListWidget*>(c.Object)) return list->currentRow();
    return std::nullopt;
}

void SetComponentItemIndex(const TLangComponent& c, int index) {
    if (auto* combo = qobject_cast<QComboBox*>(c.Object)) combo->setCurrentIndex(index);
    if (auto* list = qobject_cast<QListWidget*>(c.Object)) list->setCurrentRow(index);
}

std::optional<QFont> ComponentFont(const TLangComponent& c) {
    if (auto* w = qobject_cast<QWidget*>(c.Object)) return w->font();
    if (auto* a = qobject_cast<QAction*>(c.Object)) return a->font();
    return std::nullopt;
}

void SetComponentFont(const TLangComponent& c, const QFont& font) {
    if (auto* w = qobject_cast<QWidget*>(c.Object)) w->setFont(font);
    if (auto* a = qobject_cast<QAction*>(c.Object)) a->setFont(font);
}

void SetComponentAlignment(const TLangComponent& c, int alignment) {
    if (alignment != 1 && alignment != 2) return;
    QObject* o = c.Object;
    if (auto* l = qobject_cast<QLabel*>(o)) {
        const Qt::Alignment vertical = l->alignment() & Qt::AlignVertical_Mask;
        l->setAlignment(vertical | (alignment == 1 ? Qt::AlignRight : Qt::AlignLeft));
        return;
    }
    // Check boxes put their text beside the box, buttons their glyph beside the text: 2 puts
    // the text first, as a right-to-left language reads.
    const auto direction = alignment == 2 ? Qt::RightToLeft : Qt::LeftToRight;
    if (auto* b = qobject_cast<QCheckBox*>(o))
        b->setLayoutDirection(direction);
    else if (auto* r = qobject_cast<QRadioButton*>(o))
        r->setLayoutDirection(direction);
    else if (auto* button = qobject_cast<QAbstractButton*>(o); button && !button->icon().isNull())
        button->setLayoutDirection(direction);
}
