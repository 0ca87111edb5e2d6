#include "gui/main/StartupArguments.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include "gui/desktop/ErrorBox.h"

namespace lmp::gui {

namespace {

// The options that Qt takes for itself from the command line of any of its programs (QApplication
// removes them before the program sees its arguments): with a value, then without.
constexpr const char* kQtValueOptions[] = {
    "style",         "stylesheet", "platform",        "platformpluginpath",
    "platformtheme", "plugin",     "qwindowgeometry", "qwindowicon",
    "qwindowtitle",  "session",    "display",         "geometry",
    "qmljsdebugger", "dialogs",    "fontengine",      "name",
    "title",         "icon",       "visual"};
constexpr const char* kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "testability"};

} // namespace

StartupCommand ParseStartupArguments(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Explorer for Lumora Parks track designs, saved games and scenarios.\n\n"
                       "A folder opens the window there; files open their folder with them selected and\n"
                       "described in the order given. Without a PATH the window opens at the game's\n"
                       "install folder, or at the folder shown when it last closed, or at the current\n"
                       "folder. Qt's own options (-style, -platform, -stylesheet, -reverse, ...) are taken\n"
                       "as by any Qt program."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help and exits."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Displays the version and exits."));
    parser.addOption(help);
    parser.addOption(version);
    // As Qt reads them: one dash or two before a whole word, "-style fusion" or "-style=fusion".
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char* name : kQtValueOptions) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setValueName(QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : kQtFlags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
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
