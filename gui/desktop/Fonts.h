#pragma once

#include <QFont>
#include <QFontDatabase>
#include <QString>

namespace lmp::gui {

// The face family at pixelSize when it is installed; else the platform's face of the fallback kind
// (fixed-pitch or general) at the same pixel size.
QFont PreferredFont(const QString& family, int pixelSize, QFontDatabase::SystemFont fallback);

} // namespace lmp::gui
