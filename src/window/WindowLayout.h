#pragma once

#include "Controls.h"

class QWidget;

namespace iap {

// The window as its design draws it: every control with its design name, caption, place and
// size (the design's twips made pixels here alone), the background colour, the fonts and the
// tab order. Nothing here acts on a control's events.
class WindowLayout {
public:
    static Controls build(QWidget& window);

private:
    static void buildConnectionRows(Controls& c, QWidget* panel);
    static void buildModelOptions(Controls& c);
    static void buildProgressArea(Controls& c, QWidget* panel);
    static void buildFileRows(Controls& c, QWidget* panel);
    static void setReadingOrder(QWidget& window, const Controls& c);
};

}  // namespace iap
