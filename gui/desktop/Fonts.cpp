#include "gui/desktop/Fonts.h"

namespace lmp::gui {

QFont PreferredFont(const QString& family, int pixelSize, QFontDatabase::SystemFont fallback)
{
    QFont font = QFontDatabase::hasFamily(family) ? QFont(family) : QFontDatabase::systemFont(fallback);
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace lmp::gui
