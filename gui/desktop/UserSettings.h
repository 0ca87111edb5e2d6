#pragma once

#include <optional>

#include "gui/desktop/FileFilter.h"

namespace lmp::gui {

// The user's own choices for the window, kept per user under the organisation "LMPexplorer" (never
// with the game's machine-wide setup, which the program only reads).

// Whether the file list shows the game-detail columns; off until the user turns them on.
bool ReadGameDetailsShown();
void WriteGameDetailsShown(bool shown);

// The filter the user last applied with the filter dialog's OK; none until the first OK.
std::optional<FileFilter> ReadListFilter();
void WriteListFilter(const FileFilter& filter);

} // namespace lmp::gui
