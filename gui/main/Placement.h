#pragma once

class QWidget;

namespace lmp::gui {

// Before a top-level window is first shown: makes it, with room for the frame the desktop puts
// around it, no larger than its screen's available area (down to its minimum size), and moves it
// into that area, centred where it fits. High-density screens and small displays can leave less
// room than a window's design size.
void FitIntoScreen(QWidget& window);

} // namespace lmp::gui
