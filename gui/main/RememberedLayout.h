#pragma once

#include <QList>

#include "gui/desktop/UserSettings.h"

class QHeaderView;
class QRect;
class QSplitter;

namespace lmp::gui {

// Notes in choices the header's columns in the order shown with their widths, the columns that the
// header does not hold now (the game-detail columns while hidden) kept after them as they were, and
// the column it is sorted by, by title.
void CaptureColumns(const QHeaderView& header, WindowChoices& choices);

// Puts the header's columns that choices names in its order, at its widths, before the others; the
// others keep their order and widths. Returns the column that choices sorts by; -1 when the header
// holds none of that title.
int ApplyColumns(QHeaderView& header, const WindowChoices& choices);

// Gives the splitter's two widgets the sizes, the first scaled to the room the splitter has now when
// inProportion (a window laid out at another size, restored maximised or fitted to a smaller screen,
// keeps its proportions), else at its own size; nothing happens unless there are two, not both 0.
void ApplySplitterSizes(QSplitter& splitter, const QList<int>& sizes, bool inProportion);

// Whether enough of the window's top edge, where its caption is, lies on a screen for the user to take
// hold of it.
bool ShowsOnSomeScreen(const QRect& frame);

} // namespace lmp::gui
