#pragma once

#include <vector>

#include <QString>
#include <QStringList>

namespace lmp::gui {

// The upper-cased part of a name from its last "." on, dot included; empty when it has no ".".
QString UpperExtension(const QString& caption);

// The items that "Select Matching TP4's" selects, in list order: for each selected item whose
// extension is .TD4, the first following item whose name, without its last four characters, is the
// same in upper case and whose extension is .TP4. The scan from a track design stops at the first
// item whose shortened name differs. selected[i] tells whether item i is selected; items it does not
// cover count as not selected.
std::vector<int> MatchingTrackImages(const QStringList& captions, const std::vector<bool>& selected);

// The same for a list in another order: for each selected .TD4 item, the first item anywhere in the
// list whose name without its last four characters is the same in upper case and whose extension is
// .TP4. In ascending list order, by the items' positions.
std::vector<int> MatchingTrackImagesAnywhere(const QStringList& captions, const std::vector<bool>& selected);

} // namespace lmp::gui
