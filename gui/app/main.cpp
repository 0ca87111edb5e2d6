// The program entry of lmpexplorer: main() is here. The explorer window is TMainForm, in
// gui/main/MainForm.h.
#include <QApplication>

#include "gui/about/AboutBox.h"
#include "gui/filter/FilterDlg.h"
#include "gui/main/MainForm.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(QString::fromLatin1(lmp::gui::kApplicationTitle));
    // Created first, the explorer window is the main window; closing it ends the program. The dialogs
    // stay hidden until shown and are destroyed before the window that parents them.
    lmp::gui::TMainForm mainForm;
    lmp::gui::TAboutBox aboutBox(&mainForm);
    lmp::gui::TFilterDlg filterDlg(&mainForm);
    mainForm.show();
    return QApplication::exec();
}
