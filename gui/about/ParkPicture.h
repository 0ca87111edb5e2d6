#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>

class QPainter;

namespace lmp::gui {

// The size of the About box's picture.
inline constexpr QSize kParkPictureSize(194, 158);

// Paints the program's park scene (sky, sun, grass, a ferris wheel, a roller-coaster track and trees)
// scaled to fill area; the painter's state is restored afterwards. An empty area paints nothing.
void PaintParkScene(QPainter& painter, const QRectF& area);

// The park scene as a new image of kParkPictureSize, 24 bits per pixel.
QImage ParkPicture();

} // namespace lmp::gui
