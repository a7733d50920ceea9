#pragma once
// The translatable properties of a form's components, as Qt holds them: the caption or text
// (window title of a form, group box title, button, label and action text, line edit text),
// the hint (tool tip) and whether it shows, the list items (combo box, list, text storage) or
// multi-line text, the selected item, the font and the text alignment.
#include <QString>
#include <QStringList>
#include <optional>

class QObject;
class QFont;
class TTextStorage;

// One translatable component: a Qt object of a form, or a text storage the form holds.
struct TLangComponent {
    QString Path; // "Form" or "Form.name"
    QObject* Object = nullptr;
    TTextStorage* Storage = nullptr;
    bool IsForm = false;
};

// The caption or text, when the component publishes one. Caption is preferred; a line edit
// publishes Text.
std::optional<QString> ComponentCaption(const TLangComponent& c);
bool SetComponentCaption(const TLangComponent& c, const QString& text);

// The hint, when the component publishes one, and whether it is shown.
std::optional<QString> ComponentHint(const TLangComponent& c);
bool ComponentShowHint(const TLangComponent& c);
bool SetComponentHint(const TLangComponent& c, const QString& text, bool show);

// The items (or lines) of the component; nothing when it publishes neither.
std::optional<QStringList> ComponentItems(const TLangComponent& c);
// Replaces item j by lines[j] for every j below the item count; extra lines are ignored.
bool ReplaceComponentItems(const TLangComponent& c, const QStringList& lines);

// The selected item of a list, combo box; nothing for other components.
std::optional<int> ComponentItemIndex(const TLangComponent& c);
void SetComponentItemIndex(const TLangComponent& c, int index);

// The font of a widget or action; nothing for other components.
std::optional<QFont> ComponentFont(const TLangComponent& c);
void SetComponentFont(const TLangComponent& c, const QFont& font);

// A file's alignment value: 1 right-justified text and glyph left, 2 left-justified text and
// glyph right; 0 and other values change nothing.
void SetComponentAlignment(const TLangComponent& c, int alignment);
