#pragma once

#include <QString>
#include <QStringList>

namespace lmp::gui {

// What the command line asks of lmpexplorer.
struct StartupCommand {
    // Set for --help, --version and usage errors: print output (to standard error for an error) and
    // end with this status, without opening a window.
    bool exit = false;
    int exitStatus = 0;
    QString output;
    QStringList paths; // the PATH arguments, in the order given
};

// Parses lmpexplorer's arguments (the program name first). Needs a QCoreApplication but no display.
StartupCommand ParseStartupArguments(const QStringList& arguments);

// Where the window opens for the paths given, and what it then shows.
struct StartupPlan {
    QString folder;       // the folder to open; empty when no path names an existing file or folder
    QStringList files;    // the names of the files to select in it, in the order given
    QStringList paths;    // those files' paths as given, to describe in that order
    QStringList problems; // one line for each path left out, as SafeBoxText shows it
};

// The folder is the first existing path's: the path itself for a folder, the folder holding it for a
// file. Files in that folder are selected; a path that names nothing, or a file or folder elsewhere,
// is left out with a line in problems.
StartupPlan PlanStartup(const QStringList& paths);

} // namespace lmp::gui
