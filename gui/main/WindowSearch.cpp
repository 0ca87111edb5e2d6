#include "gui/main/WindowSearch.h"

#include <map>
#include <set>

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include "core/Query.h"
#include "gui/desktop/DescribingThreads.h"
#include "gui/desktop/NativePath.h"
#include "gui/main/SelectionRules.h"
#include "gui/main/StatusSummary.h"
#include "gui/shell/FileListModel.h"
#include "gui/shell/ShellListView.h"
#include "scan/DescriptionCache.h"
#include "sys/CommandLine.h"
#include "sys/Folder.h"

namespace lmp::gui {

SearchBar::SearchBar()
    : field_(new QLineEdit), subfolders_(new QCheckBox(QStringLiteral("In subfolders"))), problem_(new QLabel)
{
    setObjectName(QStringLiteral("SearchBar"));
    field_->setObjectName(QStringLiteral("SearchField"));
    field_->setPlaceholderText(QStringLiteral("Search by name or game details, e.g. excitement>7"));
    field_->setClearButtonEnabled(true);
    subfolders_->setObjectName(QStringLiteral("InSubfolders"));
    problem_->setObjectName(QStringLiteral("SearchProblem"));
    problem_->setTextFormat(Qt::PlainText);
    problem_->hide();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 2);
    layout->addWidget(field_, 1);
    layout->addWidget(subfolders_);
    layout->addWidget(problem_, 1);
    auto* dismiss = new QAction(this);
    dismiss->setShortcut(Qt::Key_Escape);
    dismiss->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(dismiss);
    connect(dismiss, &QAction::triggered, this, &SearchBar::Dismissed);
}

void SearchBar::SayProblem(const QString& text)
{
    problem_->setText(text);
    problem_->setVisible(!text.isEmpty());
}

QString SearchBar::Problem() const
{
    return problem_->text();
}

WindowSearch::WindowSearch(SearchBar& bar, TShellListView& list, std::function<void()> changed,
                           std::function<void(const QString&)> note)
    : bar_(bar), list_(list), changed_(std::move(changed)), note_(std::move(note))
{
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &WindowSearch::Start);
    handOver_.setSingleShot(true);
    connect(&handOver_, &QTimer::timeout, this, &WindowSearch::TakeFound);
    connect(&bar_.Field(), &QLineEdit::textEdited, this, [this] { settle_.start(); });
    connect(&bar_.Field(), &QLineEdit::textChanged, this, [this](const QString& text) {
        // The clear button changes the text without an edit.
        if (text.isEmpty()) {
            settle_.stop();
            Start();
        }
    });
    connect(&bar_.Field(), &QLineEdit::returnPressed, this, [this] {
        settle_.stop();
        Start();
    });
    connect(&bar_.Subfolders(), &QCheckBox::toggled, this, [this] {
        if (!bar_.Field().text().trimmed().isEmpty()) {
            settle_.stop();
            Start();
        }
    });
    connect(&bar_, &SearchBar::Dismissed, this, &WindowSearch::Close);
    // Whatever lists a folder again (another folder, Refresh, the filter) ends the search feeding the list.
    connect(&list_.Files(), &QAbstractItemModel::modelReset, this, [this] {
        if (!Active() && search_ != nullptr) {
            handOver_.stop();
            search_.reset();
            count_ = {};
            changed_();
        }
    });
    bar_.hide();
}

WindowSearch::~WindowSearch()
{
    search_.reset(); // its thread posts to call_ until it is stopped
}

void WindowSearch::Open()
{
    bar_.show();
    bar_.Field().setFocus(Qt::ShortcutFocusReason);
    bar_.Field().selectAll();
}

void WindowSearch::Close()
{
    End(true);
    ClearField();
    bar_.hide();
    list_.setFocus(Qt::OtherFocusReason);
}

bool WindowSearch::Active() const
{
    return list_.Files().ShowsFound();
}

bool WindowSearch::Running() const
{
    return search_ != nullptr && !count_.ended;
}

void WindowSearch::Restart()
{
    if (!bar_.isHidden() && !bar_.Field().text().trimmed().isEmpty()) {
        Start();
    }
}

void WindowSearch::FolderChanged(const QString& folder)
{
    if (folder == folder_ || bar_.Field().text().isEmpty()) {
        return;
    }
    End(false);
    ClearField();
}

void WindowSearch::ClearField()
{
    // Without searching again: the caller has ended the search.
    bar_.Field().blockSignals(true);
    bar_.Field().clear();
    bar_.Field().blockSignals(false);
    bar_.SayProblem({});
}

QString WindowSearch::StatusText() const
{
    if (!Active()) {
        return {};
    }
    return QStringLiteral("%1 matches of %2 files examined")
        .arg(Grouped(count_.matched), Grouped(count_.examined));
}

void WindowSearch::Start()
{
    const QString text = bar_.Field().text();
    if (text.trimmed().isEmpty()) {
        bar_.SayProblem({});
        End(true);
        return;
    }
    Query query;
    try {
        query = Query(text.toStdString());
    } catch (const QueryError& error) {
        // The list keeps what the last query that could be read found.
        bar_.SayProblem(QString::fromStdString(error.what()));
        return;
    }
    bar_.SayProblem({});
    if (!Active()) {
        folder_ = list_.Files().Folder();
    }
    if (folder_.isEmpty()) {
        bar_.SayProblem(QStringLiteral("Open a folder to search it."));
        return;
    }
    search_.reset();
    handOver_.stop();
    count_ = {};
    found_.clear();
    lastHandOver_ = {};
    const bool subfolders = bar_.Subfolders().isChecked();
    list_.ShowFound(subfolders);
    SearchSettings settings;
    settings.root = NativePath(folder_);
    settings.subfolders = subfolders;
    settings.query = std::move(query);
    settings.listed = [filter = list_.Files().Filter()](std::string_view name) { return filter.Shows(name); };
    settings.cache = DiskCache();
    search_ = std::make_unique<TreeSearch>(DescribingThreads::Instance().Service(), std::move(settings),
                                           [this] { call_.Post(); });
    changed_();
}

void WindowSearch::End(bool relist)
{
    settle_.stop();
    handOver_.stop();
    search_.reset();
    count_ = {};
    found_.clear();
    if (relist && Active()) {
        list_.Refresh();
    }
    changed_();
}

void WindowSearch::TakeFound()
{
    call_.Arrived();
    if (search_ == nullptr || handOver_.isActive()) {
        return;
    }
    // The first matches go to the list at once, the rest in batches: each batch costs a pass over the rows.
    const auto now = std::chrono::steady_clock::now();
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastHandOver_);
    if (since.count() < kHandOverMs) {
        handOver_.start(static_cast<int>(kHandOverMs - since.count()));
        return;
    }
    count_ = search_->Take(found_);
    if (!found_.empty() && Active()) {
        list_.Files().AddFound(found_);
        lastHandOver_ = now;
    }
    for (const std::string& notice : search_->TakeNotices()) {
        note_(QString::fromStdString(notice));
    }
    changed_();
}

std::vector<int> WindowSearch::FoundTrackImages()
{
    FileListModel& files = list_.Files();
    // An image goes with a design when its name, without the last four characters, is the design's in upper
    // case, as among a folder's files.
    const auto stem = [](const QString& caption) { return caption.left(caption.size() - 4).toUpper(); };
    std::map<std::uint32_t, std::set<QString>> wanted; // stems of selected designs by folder number
    std::map<std::uint32_t, std::filesystem::path> folders;
    for (int row = 0; row < list_.ItemCount(); ++row) {
        const FileItem& item = files.Item(row);
        const QString caption = files.Caption(item);
        if (list_.Selected(row) && UpperExtension(caption) == QLatin1String(".TD4")) {
            wanted[item.folder].insert(stem(caption));
            folders.emplace(item.folder, files.FoundFolderOf(item));
        }
    }
    std::set<std::pair<std::uint32_t, QString>> listed; // the items of those folders
    for (int row = 0; row < list_.ItemCount(); ++row) {
        const FileItem& item = files.Item(row);
        if (wanted.contains(item.folder)) {
            listed.emplace(item.folder, files.Caption(item));
        }
    }
    std::set<std::pair<std::uint32_t, QString>> images;
    std::vector<FoundFile> missing;
    for (const auto& [number, stems] : wanted) {
        std::error_code error;
        const std::optional<std::vector<sys::FolderEntry>> entries =
            sys::ListFolder(files.FolderPath() / folders[number], error);
        for (const sys::FolderEntry& entry : entries.value_or(std::vector<sys::FolderEntry>{})) {
            const QString caption = PathText(entry.name);
            if (!entry.regular || entry.hidden || UpperExtension(caption) != QLatin1String(".TP4") ||
                !stems.contains(stem(caption))) {
                continue;
            }
            images.emplace(number, caption);
            if (!listed.contains({number, caption})) {
                missing.push_back({sys::Utf8FromPath(folders[number]), entry.name, sys::StampOf(entry)});
            }
        }
    }
    files.AddFound(missing);
    std::vector<int> rows;
    for (int row = 0; row < list_.ItemCount(); ++row) {
        const FileItem& item = files.Item(row);
        if (wanted.contains(item.folder) && images.contains({item.folder, files.Caption(item)})) {
            rows.push_back(row);
        }
    }
    return rows;
}

std::shared_ptr<DescriptionCache> WindowSearch::DiskCache()
{
    if (!cacheUsed_ || !DescriptionCache::Available()) {
        return nullptr;
    }
    if (cache_ == nullptr) {
        // A smaller page cache than lmpinfo's: the window stays within its memory at large collections.
        cache_ = std::make_shared<DescriptionCache>(CacheSettings{.pageCacheKiB = 4096});
        for (const std::string& notice : cache_->TakeNotices()) {
            note_(QString::fromStdString(notice));
        }
    }
    return cache_;
}

void WindowSearch::SetCacheUsed(bool used)
{
    cacheUsed_ = used;
    if (!used) {
        cache_.reset(); // a search under way keeps its own until it ends
    }
}

QString WindowSearch::ClearCache()
{
    if (!DescriptionCache::Available()) {
        return QStringLiteral("This build keeps no descriptions on disk.");
    }
    const std::shared_ptr<DescriptionCache> cache =
        cache_ != nullptr ? cache_ : std::make_shared<DescriptionCache>();
    cache->Clear();
    QStringList said;
    for (const std::string& notice : cache->TakeNotices()) {
        said << QString::fromStdString(notice);
    }
    return said.isEmpty() ? QStringLiteral("The descriptions kept on disk are forgotten.") : said.join(u' ');
}

} // namespace lmp::gui
