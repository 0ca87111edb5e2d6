#include "gui/main/StartupArguments.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include "gui/desktop/ErrorBox.h"

namespace lmp::gui {

StartupCommand ParseStartupArguments(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Explorer for Lumora Parks track designs, saved games and scenarios.\n\n"
                       "A folder opens the window there; files open their folder with them selected and\n"
                       "described in the order given. Without a PATH the window opens at the game's\n"
                       "install folder, or at the current folder when there is none."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help and exits."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Displays the version and exits."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("PATH"), QStringLiteral("A folder, or files of one folder."),
                                 QStringLiteral("[PATH...]"));

    StartupCommand command;
    if (!parser.parse(arguments)) {
        command.exit = true;
        command.exitStatus = 2;
        command.output = QStringLiteral("lmpexplorer: %1\nRun 'lmpexplorer --help' for more information.\n")
                             .arg(parser.errorText());
    } else if (parser.isSet(help)) {
        command.exit = true;
        // Qt names the program by the path it was started from; the help names it as it is installed.
        command.output = parser.helpText();
        command.output.replace(0, command.output.indexOf(QLatin1Char('\n')),
                               QStringLiteral("Usage: lmpexplorer [options] [PATH...]"));
    } else if (parser.isSet(version)) {
        command.exit = true;
        command.output = QStringLiteral("lmpexplorer " LMP_VERSION "\n");
    } else {
        command.paths = parser.positionalArguments();
    }
    return command;
}

StartupPlan PlanStartup(const QStringList& paths)
{
    StartupPlan plan;
    QStringList elsewhere;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (!info.exists()) {
            plan.problems << QStringLiteral("No such file or folder: %1").arg(SafeBoxText(path));
            continue;
        }
        const QString folder = QDir::cleanPath(info.isDir() ? info.absoluteFilePath() : info.absolutePath());
        if (plan.folder.isEmpty()) {
            plan.folder = folder;
        }
        if (folder != plan.folder || (info.isDir() && !plan.files.isEmpty())) {
            elsewhere << SafeBoxText(path);
        } else if (!info.isDir()) {
            plan.files << info.fileName();
            plan.paths << path;
        }
    }
    if (!elsewhere.isEmpty()) {
        plan.problems << QStringLiteral("Not shown, as the window shows %1:")
                             .arg(SafeBoxText(QDir::toNativeSeparators(plan.folder)));
        plan.problems << elsewhere;
    }
    return plan;
}

} // namespace lmp::gui
