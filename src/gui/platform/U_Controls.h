#pragma once
// Small controls the windows share: a spin edit that clamps what is typed, a link label, and an
// image control with a Tag that shows a frame of the core.
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QWidget>

#include "platform/image/U_Bitmap32.h"

// An integer spin edit. Any whole number may be typed; it is clamped into the range when the
// edit loses focus, on Enter, and whenever Value() reads it, so a value typed with the cursor
// still in the edit counts too.
class TSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget* parent = nullptr);
    // The typed value, clamped and taken over first.
    int Value();

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
};

// The dialogs' "Ok" button: named ok_btn, the default button, accepting `dialog`.
QPushButton* MakeOkButton(class QDialog* dialog);
// A row with `buttons` side by side in its middle.
QHBoxLayout* CentredRow(std::initializer_list<QWidget*> buttons);

// Blue, underlined text with a hand cursor; a click emits clicked().
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(const QString& text, QWidget* parent = nullptr);
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// A picture box: shows its picture at the top left, or stretched over the whole control.
// Tag is free for the owner (the thumbnail strip keeps the picture's index there).
class TImageControl : public QWidget {
    Q_OBJECT
public:
    explicit TImageControl(QWidget* parent = nullptr);

    int Tag = -1;
    bool Stretch = false;
    // Drawn with a frame around it (the thumbnail the preview starts from).
    void SetSelected(bool selected);
    bool Selected() const { return selected_; }

    const QImage& Picture() const { return picture_; }
    void SetPicture(const QImage& picture);
    void ClearPicture();

signals:
    void clicked();
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage picture_;
    bool selected_ = false;
};

// A copy of a frame as a Qt image (alpha ignored).
QImage ToQImage(const TBitmap32& bitmap);
