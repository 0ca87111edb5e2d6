#pragma once

#include <array>
#include <filesystem>
#include <optional>

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

#include "gui/desktop/FileFilter.h"

namespace lmp::gui {

// The user's own choices for the window, kept per user under the organisation "LMPexplorer" (never
// with the game's machine-wide setup, which the program only reads).

// Whether the file list shows the game-detail columns; off until the user turns them on.
bool ReadGameDetailsShown();
void WriteGameDetailsShown(bool shown);

// Whether the window keeps the descriptions it reads in the cache on disk; on until the user turns it off.
bool ReadDescriptionCacheUsed();
void WriteDescriptionCacheUsed(bool used);

// The filter the user last applied with the filter dialog's OK; none until the first OK.
std::optional<FileFilter> ReadListFilter();
void WriteListFilter(const FileFilter& filter);

// The window as the user last left it. A member that was never written, or that holds what the window
// could not have written, reads as empty.
struct WindowChoices {
    QByteArray geometry; // size, position and maximised or full-screen state, as QWidget::saveGeometry
    QRect frame;         // where the window was on the screens of the time, frame included
    QByteArray state;    // the tool bars and docks, as QMainWindow::saveState
    // The sizes of the vertical splitter, then of the upper and lower horizontal ones: two each.
    std::array<QList<int>, 3> splitters;
    QStringList columns;     // the file list's column titles in the order shown
    QList<int> columnWidths; // one per column
    QString sortColumn;      // the title of the column the list is sorted by
    bool sortDescending = false;
    std::filesystem::path lastFolder; // the folder shown; empty for the desktop
};
WindowChoices ReadWindowChoices();
void WriteWindowChoices(const WindowChoices& choices);

// Whether the user's choices can be stored; checked once at start, and after every write. The notice
// to show when they cannot, the first time it is asked for in a run; empty otherwise.
void CheckSettingsWritable();
QString TakeSettingsNotice();

} // namespace lmp::gui
