// The program entry of lmpexplorer: main() is here. The explorer window is TMainForm, in
// gui/main/MainForm.h.
#include <cstdio>

#include <QApplication>

#include "gui/about/AboutBox.h"
#include "gui/filter/FilterDlg.h"
#include "gui/main/MainForm.h"
#include "gui/main/StartupArguments.h"
#include "sys/Allocator.h"

int main(int argc, char* argv[])
{
    // The description pane's document grows by doubling arrays of tens of megabytes.
    lmp::sys::KeepLargeBuffersForReuse(lmp::sys::kDescribingBuffersMost);
    lmp::sys::KeepThreadStacksSmall();
    // --help and --version answer on the terminal, so the arguments are read before anything needs
    // a display.
    lmp::gui::StartupCommand command;
    {
        const QCoreApplication reading(argc, argv);
        command = lmp::gui::ParseStartupArguments(QCoreApplication::arguments());
    }
    if (command.exit) {
        const QByteArray text = command.output.toLocal8Bit();
        std::fputs(text.constData(), command.exitStatus == 0 ? stdout : stderr);
        return command.exitStatus;
    }

    QApplication application(argc, argv);
    // No display name: the desktop would append it to the caption of every window, the dialogs included.
    // The desktop matches the window to the installed desktop entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.lmpexplorer.LMPexplorer"));
    // Created first, the explorer window is the main window; closing it ends the program. The dialogs
    // stay hidden until shown and are destroyed before the window that parents them.
    lmp::gui::TMainForm mainForm(command.paths);
    lmp::gui::TAboutBox aboutBox(&mainForm);
    lmp::gui::TFilterDlg filterDlg(&mainForm);
    mainForm.show();
    return QApplication::exec();
}
