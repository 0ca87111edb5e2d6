#include "gui/desktop/DecimalMark.h"

#include <QLocale>

namespace lmp::gui {

std::string RegionalDecimalMark()
{
    // QLocale() is QLocale::system() while no default is set, and, unlike system(), lets a test
    // stand in another region's settings.
    const QString mark = QLocale().decimalPoint();
    return mark.isEmpty() ? std::string(".") : mark.toStdString();
}

} // namespace lmp::gui
