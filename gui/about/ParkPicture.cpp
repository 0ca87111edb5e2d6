#include "gui/about/ParkPicture.h"

#include <cmath>
#include <numbers>
#include <utility>

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace lmp::gui {

namespace {

// The scene is drawn in the coordinates of the About box's picture and scaled to the target area.
constexpr double kWidth = 194.0;
constexpr double kHeight = 158.0;
constexpr double kHorizon = 108.0;
constexpr double kGround = 114.0; // where the rides stand

void PaintSky(QPainter& painter)
{
    QLinearGradient sky(0.0, 0.0, 0.0, kHorizon);
    sky.setColorAt(0.0, QColor(90, 160, 230));
    sky.setColorAt(1.0, QColor(205, 232, 250));
    painter.fillRect(QRectF(0.0, 0.0, kWidth, kHorizon + 1.0), sky);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 216, 74));
    painter.drawEllipse(QPointF(168.0, 22.0), 11.0, 11.0);
    painter.setBrush(QColor(250, 252, 255));
    for (const QPointF& puff : {QPointF(36.0, 20.0), QPointF(46.0, 16.0), QPointF(56.0, 21.0),
                                QPointF(112.0, 30.0), QPointF(121.0, 27.0)}) {
        painter.drawEllipse(puff, 9.0, 6.0);
    }
}

void PaintGrass(QPainter& painter)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(72, 150, 62));
    painter.drawEllipse(QPointF(150.0, kHorizon + 6.0), 70.0, 14.0);
    painter.fillRect(QRectF(0.0, kHorizon, kWidth, kHeight - kHorizon), QColor(93, 176, 74));

    // A footpath winding from the front towards the rides.
    QPainterPath walk(QPointF(64.0, kHeight));
    walk.cubicTo(QPointF(80.0, 140.0), QPointF(120.0, 132.0), QPointF(122.0, kGround));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(226, 204, 150), 7.0, Qt::SolidLine, Qt::FlatCap));
    painter.drawPath(walk);
}

void PaintFerrisWheel(QPainter& painter)
{
    const QPointF hub(56.0, 64.0);
    constexpr double radius = 38.0;
    constexpr int cars = 12;

    painter.setPen(QPen(QColor(110, 110, 120), 3.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(hub, QPointF(36.0, kGround));
    painter.drawLine(hub, QPointF(76.0, kGround));

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(235, 235, 240), 1.0));
    QPointF rim[cars];
    for (int car = 0; car < cars; ++car) {
        const double angle = 2.0 * std::numbers::pi * car / cars;
        rim[car] = hub + QPointF(radius * std::cos(angle), radius * std::sin(angle));
        painter.drawLine(hub, rim[car]);
    }
    painter.setPen(QPen(QColor(200, 60, 60), 2.0));
    painter.drawEllipse(hub, radius, radius);

    const QColor carColours[] = {QColor(240, 200, 40), QColor(60, 120, 220), QColor(230, 110, 40)};
    painter.setPen(QPen(QColor(60, 60, 60), 0.8));
    for (int car = 0; car < cars; ++car) {
        painter.setBrush(carColours[car % 3]);
        // The cars hang below the rim.
        painter.drawRect(QRectF(rim[car].x() - 3.0, rim[car].y(), 6.0, 5.0));
    }
    painter.setBrush(QColor(80, 80, 90));
    painter.drawEllipse(hub, 3.0, 3.0);
}

void PaintCoaster(QPainter& painter)
{
    QPainterPath track(QPointF(98.0, kGround - 4.0));
    track.cubicTo(QPointF(110.0, 100.0), QPointF(116.0, 40.0), QPointF(128.0, 40.0));
    track.cubicTo(QPointF(140.0, 40.0), QPointF(142.0, 104.0), QPointF(154.0, 100.0));
    track.cubicTo(QPointF(166.0, 96.0), QPointF(168.0, 62.0), QPointF(178.0, 62.0));
    track.cubicTo(QPointF(188.0, 62.0), QPointF(190.0, 94.0), QPointF(kWidth, 98.0));

    painter.setPen(QPen(QColor(150, 120, 90), 1.0));
    constexpr int supports = 18;
    for (int support = 1; support < supports; ++support) {
        const QPointF top = track.pointAtPercent(static_cast<double>(support) / supports);
        painter.drawLine(top, QPointF(top.x(), kGround));
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(190, 30, 40), 3.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(track);
    painter.setPen(QPen(QColor(250, 230, 230), 0.8));
    painter.drawPath(track);
}

void PaintTree(QPainter& painter, const QPointF& foot, double height)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(110, 72, 40));
    painter.drawRect(QRectF(foot.x() - 1.5, foot.y() - height * 0.4, 3.0, height * 0.4));
    painter.setBrush(QColor(34, 110, 44));
    painter.drawEllipse(QPointF(foot.x(), foot.y() - height * 0.62), height * 0.3, height * 0.36);
}

} // namespace

void PaintParkScene(QPainter& painter, const QRectF& area)
{
    if (area.isEmpty()) {
        return;
    }
    painter.save();
    painter.translate(area.topLeft());
    painter.scale(area.width() / kWidth, area.height() / kHeight);
    painter.setClipRect(QRectF(0.0, 0.0, kWidth, kHeight));
    painter.setRenderHint(QPainter::Antialiasing);
    PaintSky(painter);
    PaintGrass(painter);
    PaintFerrisWheel(painter);
    PaintCoaster(painter);
    for (const auto& [foot, height] :
         {std::pair{QPointF(16.0, 126.0), 24.0}, std::pair{QPointF(90.0, 120.0), 18.0},
          std::pair{QPointF(150.0, 140.0), 28.0}, std::pair{QPointF(182.0, 130.0), 20.0}}) {
        PaintTree(painter, foot, height);
    }
    painter.restore();
}

QImage ParkPicture()
{
    QImage picture(kParkPictureSize, QImage::Format_RGB888);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    PaintParkScene(painter, QRectF(QPointF(0.0, 0.0), QSizeF(kParkPictureSize)));
    return picture;
}

} // namespace lmp::gui
