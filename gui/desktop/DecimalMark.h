#pragma once

#include <string>

namespace lmp::gui {

// The user's regional decimal mark, UTF-8, from the locale Qt follows for the user (the system's,
// unless a default is set); read it again when the window receives QEvent::LocaleChange.
std::string RegionalDecimalMark();

} // namespace lmp::gui
