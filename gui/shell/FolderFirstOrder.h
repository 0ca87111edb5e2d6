#pragma once

#include <QString>

namespace lmp::gui {

// True when the name left comes before right in the order the rest of the program lists files in
// (lmp::NaturalLess over the names' UTF-8 bytes).
bool NameLess(const QString& left, const QString& right);

} // namespace lmp::gui
