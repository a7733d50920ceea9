#pragma once
// Captions that no longer fit their control (a longer language, a wider font) are not cut off:
// the control grows into the free room beside it, and a label that still does not fit wraps.
#include <QString>

class QWidget;

// The width `control` needs to show its whole caption; 0 for a control without one.
int CaptionWidth(const QWidget* control);

// Widens every captioned control under `root` whose caption does not fit, up to its nearest
// neighbour on the same row or its parent's edge (leftward for right-aligned labels). A label
// that still does not fit wraps; a button shows its whole caption as its tool tip. Controls
// never come to overlap.
void FitCaptions(QWidget* root);
