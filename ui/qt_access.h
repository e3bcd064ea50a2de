#pragma once
// The Qt objects behind the toolkit's numbers. Only tests include this
// header: they check geometry, fonts, colours and options on the real
// objects and press real buttons. The program itself stays with toolkit.h.
#include <QFont>

class QWidget;

namespace ui::qt {

// The top-level widget of a window (its client area); nullptr when none.
QWidget* WindowWidget(int window);
// The widget with this number; for a container the bordered frame, for a
// list the table view (with the program's pending row changes shown first).
// nullptr when none.
QWidget* WidgetObject(int widget);
// The inner area of a container, which its children are placed on.
QWidget* ContainerArea(int container);
// The font with this number; nullptr when none.
const QFont* FontObject(int font);

// The factor FitToScreen scales by: 1 when a window of width x height (client
// area) with a frame fits an available area of availableWidth x
// availableHeight, all in the screen's logical pixels; otherwise just small
// enough to fit, but not below 1 / devicePixelRatio, one device pixel per
// pixel.
double FitScale(int width, int height, int availableWidth, int availableHeight, double devicePixelRatio);

// Closes every window, forgets all fonts and waiting events, and returns the
// dialog seam to its defaults, so that each test starts from a clean slate
// without tearing down the application object.
void ResetForTests();

}  // namespace ui::qt
