#include "gui/main/Placement.h"

#include <algorithm>

#include <QApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>

namespace lmp::gui {

void FitIntoScreen(QWidget& window)
{
    const QScreen* display = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    if (display == nullptr) {
        return;
    }
    const QRect area = display->availableGeometry();
    // The frame is known only once the desktop has put it on; the style's caption and borders are
    // the estimate.
    const QStyle* style = window.style();
    const int border = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, &window);
    const QSize frame(2 * border,
                      style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window) + 2 * border);
    const QSize room = (area.size() - frame).expandedTo(window.minimumSize());
    if (window.width() > room.width() || window.height() > room.height()) {
        window.resize(window.size().boundedTo(room));
    }
    const QSize outer = window.size() + frame;
    const int left = area.left() + std::max(0, (area.width() - outer.width()) / 2);
    const int top = area.top() + std::max(0, (area.height() - outer.height()) / 2);
    window.move(left, top);
}

} // namespace lmp::gui
