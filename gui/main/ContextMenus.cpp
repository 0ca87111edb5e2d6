#include "gui/main/ContextMenus.h"

#include <exception>
#include <utility>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QKeySequence>
#include <QList>
#include <QMenu>
#include <QMimeData>
#include <QShortcut>
#include <QUrl>

#include "core/Describe.h"
#include "gui/desktop/ErrorBox.h"
#include "gui/desktop/NativePath.h"
#include "gui/main/FolderHistory.h"
#include "gui/shell/ShellListView.h"
#include "gui/shell/ShellTreeView.h"
#include "scan/DescribeFile.h"

namespace lmp::gui {

namespace {

QString ShownPath(const std::filesystem::path& file)
{
    return QDir::toNativeSeparators(ShownName(file));
}

// Adds an item that runs command through the error box.
template <typename Command> void AddItem(QMenu& menu, const char* text, Command command)
{
    QObject::connect(menu.addAction(QString::fromLatin1(text)), &QAction::triggered, &menu,
                     [command = std::move(command)] { RunHandler(command); });
}

} // namespace

std::vector<std::string> DescriptionLines(const std::vector<std::filesystem::path>& files,
                                          const std::string& decimalMark, QStringList& errors)
{
    std::vector<std::string> lines;
    DescribeOptions options;
    options.decimalMark = decimalMark;
    for (const std::filesystem::path& file : files) {
        try {
            Description description = DescribeFile(file, options);
            lines.insert(lines.end(), description.lines.begin(), description.lines.end());
        } catch (const std::exception& error) {
            errors << QString::fromUtf8(error.what());
        }
        // As lmpinfo does: every file after the first, described or not, starts with a separator.
        options.withSeparator = true;
    }
    return lines;
}

QMimeData* FilesMimeData(const std::vector<std::filesystem::path>& files)
{
    QList<QUrl> urls;
    QStringList paths;
    for (const std::filesystem::path& file : files) {
        urls << QUrl::fromLocalFile(PathText(file));
        paths << ShownPath(file);
    }
    auto* data = new QMimeData;
    data->setUrls(urls);
    data->setText(paths.join(QLatin1Char('\n')));
    return data;
}

ContextMenus::ContextMenus(TShellListView& list, TShellTreeView& tree, Commands commands)
    : QObject(&list), list_(list), tree_(tree), commands_(std::move(commands))
{
    list_.setContextMenuPolicy(Qt::CustomContextMenu);
    tree_.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&list_, &QWidget::customContextMenuRequested, this, &ContextMenus::ListMenu);
    connect(&tree_, &QWidget::customContextMenuRequested, this, &ContextMenus::TreeMenu);
    // Only while the list itself has the focus: a name being edited copies its own text.
    auto* copy = new QShortcut(QKeySequence::Copy, &list_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, [this] { CopyFiles(); });
}

std::vector<std::filesystem::path> ContextMenus::SelectedFiles() const
{
    std::vector<std::filesystem::path> files;
    files.reserve(static_cast<std::size_t>(list_.SelectionCount()));
    for (int index = 0; index < list_.ItemCount(); ++index) {
        if (list_.Selected(index)) {
            files.push_back(list_.ItemFile(index));
        }
    }
    return files;
}

void ContextMenus::OpenItem(int index)
{
    if (list_.IsFolder(index)) {
        commands_.openFolder(PathText(list_.ItemFile(index)));
        return;
    }
    const std::filesystem::path file = list_.ItemFile(index);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(PathText(file)))) {
        ShowErrorBox(QStringLiteral("Cannot open file %1").arg(ShownPath(file)));
    }
}

void ContextMenus::CopyPaths() const
{
    QStringList paths;
    for (const std::filesystem::path& file : SelectedFiles()) {
        paths << ShownPath(file);
    }
    QApplication::clipboard()->setText(paths.join(QLatin1Char('\n')));
}

void ContextMenus::CopyDescription() const
{
    std::vector<std::filesystem::path> files;
    for (int index = 0; index < list_.ItemCount(); ++index) {
        if (list_.Selected(index) && !list_.IsFolder(index)) {
            files.push_back(list_.ItemFile(index));
        }
    }
    QStringList errors;
    QString text;
    for (const std::string& line : DescriptionLines(files, commands_.decimalMark(), errors)) {
        text += QString::fromStdString(line) + QLatin1Char('\n');
    }
    QApplication::clipboard()->setText(text);
    if (!errors.isEmpty()) {
        ShowErrorBox(errors.join(QLatin1Char('\n')));
    }
}

void ContextMenus::CopyFiles() const
{
    if (list_.SelectionCount() > 0) {
        QApplication::clipboard()->setMimeData(FilesMimeData(SelectedFiles()));
    }
}

void ContextMenus::ListMenu(const QPoint& position)
{
    QMenu menu(&list_);
    const QModelIndex under = list_.indexAt(position);
    if (!under.isValid()) {
        AddItem(menu, "Refresh Directory", commands_.refreshDirectory);
    } else {
        const int index = under.row();
        AddItem(menu, "Open", [this, index] { OpenItem(index); });
        AddItem(menu, "Copy Path", [this] { CopyPaths(); });
        AddItem(menu, "Copy Description", [this] { CopyDescription(); });
        AddItem(menu, "Rename", [this, index] { list_.EditName(index); });
        AddItem(menu, "Refresh Description", commands_.refreshDescription);
    }
    menu.exec(list_.viewport()->mapToGlobal(position));
}

void ContextMenus::TreeMenu(const QPoint& position)
{
    const std::optional<QString> folder = tree_.PathAt(position);
    if (!folder) {
        return;
    }
    QMenu menu(&tree_);
    AddItem(menu, "Open", [this, path = *folder] { commands_.openFolder(path); });
    AddItem(menu, "Copy Path", [path = *folder] {
        QApplication::clipboard()->setText(path.isEmpty() ? QString() : LocationText(path));
    });
    // The folder shown is read again in the list as well, as Refresh Directory does.
    AddItem(menu, "Refresh", [this, position, shown = *folder == tree_.Path()] {
        if (shown) {
            commands_.refreshDirectory();
        } else {
            tree_.RefreshAt(position);
        }
    });
    menu.exec(tree_.viewport()->mapToGlobal(position));
}

} // namespace lmp::gui
