// The main window's rules that need no window: when the pane describes an item, how Select All walks
// the list, which track images "Select Matching TP4's" picks, and the ratio arithmetic of resizing.
#include <cmath>
#include <deque>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <QTest>

#include "gui/desktop/NativePath.h"
#include "gui/main/FolderHistory.h"
#include "gui/main/SelectAllRun.h"
#include "gui/main/SelectionRules.h"
#include "gui/main/SizeRatios.h"
#include "gui/main/StatusSummary.h"
#include "gui/pane/PaneRules.h"

using lmp::gui::NotifiedItem;
using lmp::gui::PaneResponse;

Q_DECLARE_METATYPE(std::optional<NotifiedItem>)
Q_DECLARE_METATYPE(PaneResponse)
Q_DECLARE_METATYPE(std::vector<bool>)

namespace {

// Item i is of edition editions[i]: '-' none, '!' unreadable, '?' not ready when first asked and none
// afterwards. selected holds 'S' or '.' per item; the pane gets "i", or "i+" after the separator, and
// "end" at the end of a command. The run hands over after every item, as the window may; at the second
// hand-over, `during` runs.
struct ScriptedList final : lmp::gui::SelectAllList, lmp::gui::SelectAllSource {
    QString editions, selected = "S";
    QStringList pane;
    int handOvers = 0;
    unsigned contents = 0;
    std::deque<int> asked;
    bool dropped = false;
    void (*during)(ScriptedList&) = nullptr;

    void BeginCommand() override { selected = QString(editions.size(), '.'); }
    void EndCommand() noexcept override { pane << "end"; }
    int ItemCount() const override { return static_cast<int>(editions.size()); }
    int SelectionCount() const override { return static_cast<int>(selected.count('S')); }
    unsigned ContentsVersion() const override { return contents; }
    // The selection itself: what the run wants to know is whether it is still the one the run left.
    unsigned SelectionVersion() const override { return static_cast<unsigned>(qHash(selected)); }
    bool IsFolder(int) const override { return false; }
    void Select(int index, bool on) override { selected[index] = on ? 'S' : '.'; }
    void Write(lmp::Description description, bool withSeparator) override
    {
        pane << QString::fromStdString(description.lines.front()) + (withSeparator ? "+" : "");
    }

    void Ask(int index, const lmp::DescribeOptions&) override { asked.push_back(index); }
    std::optional<lmp::Description> Take() override
    {
        if (asked.empty()) {
            return std::nullopt;
        }
        const int index = asked.front();
        const QChar code = editions[index];
        if (code == '!') {
            throw std::runtime_error("Cannot open file");
        }
        if (code == '?') {
            editions[index] = '-';
            return std::nullopt;
        }
        asked.pop_front();
        return lmp::Description{
            code == '-' ? lmp::kNoEdition : code.digitValue(), {std::to_string(index)}, {}};
    }
    bool Dropped() override { return std::exchange(dropped, false); }

    // Runs the command for edition 0 to its end, as the window does between its events.
    void Run()
    {
        lmp::gui::SelectAllRun run(*this, *this, 0);
        try {
            run.Begin();
            while (run.Advance([] { return false; }) != lmp::gui::SelectAllRun::Progress::Ended &&
                   handOvers < 100) {
                if (++handOvers == 2 && during != nullptr) {
                    std::exchange(during, nullptr)(*this);
                }
            }
            EndCommand();
        } catch (const std::runtime_error&) {
            EndCommand();
            pane << "thrown";
        }
    }
};
using Script = void (*)(ScriptedList&);

} // namespace

Q_DECLARE_METATYPE(std::vector<int>)
Q_DECLARE_METATYPE(Script)

class MainFormRulesTest : public QObject {
    Q_OBJECT

private slots:
    void listChangeResponseFollowsSelectionFocusAndMarks_data();
    void listChangeResponseFollowsSelectionFocusAndMarks();
    void selectAllRunSelectsOneEditionInListOrderUntilSuperseded_data();
    void selectAllRunSelectsOneEditionInListOrderUntilSuperseded();
    void matchingImagesFollowTheirSelectedTrackDesigns_data();
    void matchingImagesFollowTheirSelectedTrackDesigns();
    void matchingImagesAreFoundAnywhereInAListSortedOtherwise_data();
    void matchingImagesAreFoundAnywhereInAListSortedOtherwise();
    void measuredRatioIsTheQuotientRoundedToAFloat_data();
    void measuredRatioIsTheQuotientRoundedToAFloat();
    void appliedRatioIsTheExactProductTruncated_data();
    void appliedRatioIsTheExactProductTruncated();
    void statusTextsSayCountsFilterAndWork_data();
    void statusTextsSayCountsFilterAndWork();
    void historyGoesBackAndForwardAndForgetsWhatWasAheadOnAVisit_data();
    void historyGoesBackAndForwardAndForgetsWhatWasAheadOnAVisit();
    void locationTextNamesTheFolderAndTypedTextIsParsedOnlyWhenEdited_data();
    void locationTextNamesTheFolderAndTypedTextIsParsedOnlyWhenEdited();
};

void MainFormRulesTest::listChangeResponseFollowsSelectionFocusAndMarks_data()
{
    QTest::addColumn<bool>("busy");
    QTest::addColumn<int>("selectionCount");
    QTest::addColumn<std::optional<NotifiedItem>>("item");
    QTest::addColumn<PaneResponse>("expected");

    // NotifiedItem{selected, focused, described}; PaneResponse{reset, describe, withSeparator}
    QTest::newRow("a command holds the selection")
        << true << 1 << std::optional(NotifiedItem{true, true, false}) << PaneResponse{false, false, false};
    QTest::newRow("the one selected item")
        << false << 1 << std::optional(NotifiedItem{true, true, false}) << PaneResponse{true, true, false};
    QTest::newRow("the one selected item, marked before the reset")
        << false << 1 << std::optional(NotifiedItem{true, true, true}) << PaneResponse{true, true, false};
    QTest::newRow("a second selected item")
        << false << 2 << std::optional(NotifiedItem{true, true, false}) << PaneResponse{false, true, true};
    QTest::newRow("an item already described")
        << false << 3 << std::optional(NotifiedItem{true, true, true}) << PaneResponse{false, false, false};
    QTest::newRow("a range member without focus")
        << false << 3 << std::optional(NotifiedItem{true, false, false}) << PaneResponse{false, false, false};
    QTest::newRow("the focused item just deselected")
        << false << 1 << std::optional(NotifiedItem{false, true, false}) << PaneResponse{true, false, false};
    QTest::newRow("an item losing focus beside one selected")
        << false << 1 << std::optional(NotifiedItem{false, false, true}) << PaneResponse{true, false, false};
    QTest::newRow("all items, one selected")
        << false << 1 << std::optional<NotifiedItem>() << PaneResponse{true, false, false};
    QTest::newRow("all items, several selected")
        << false << 4 << std::optional<NotifiedItem>() << PaneResponse{false, false, false};
    QTest::newRow("nothing selected")
        << false << 0 << std::optional(NotifiedItem{false, true, false}) << PaneResponse{false, false, false};
}

void MainFormRulesTest::listChangeResponseFollowsSelectionFocusAndMarks()
{
    QFETCH(bool, busy);
    QFETCH(int, selectionCount);
    QFETCH(std::optional<NotifiedItem>, item);
    QFETCH(PaneResponse, expected);

    const PaneResponse response = lmp::gui::RespondToListChange(busy, selectionCount, item);
    QCOMPARE(response.reset, expected.reset);
    QCOMPARE(response.describe, expected.describe);
    QCOMPARE(response.withSeparator, expected.withSeparator);
}

void MainFormRulesTest::selectAllRunSelectsOneEditionInListOrderUntilSuperseded_data()
{
    QTest::addColumn<QString>("editions");
    QTest::addColumn<Script>("during");
    QTest::addColumn<QString>("expected"); // the selection (item 0 was selected before), the pane

    QTest::newRow("editions found per item, up to a file that cannot be read")
        << "-0102-!" << Script() << ".S.S... 0 1 2+ 3+ 4+ 5+ end thrown";
    QTest::newRow("the selection changed by someone else mid-loop")
        << "0-1-0" << Script([](ScriptedList& list) { list.selected = "..SS."; })
        << "....S 0 1+ 2+ 3+ 4+ end";
    QTest::newRow("a result not ready at first")
        << "-?0" << Script([](ScriptedList& list) { list.selected = ".SS"; }) << "..S 0 1+ 2+ end";
    QTest::newRow("contents changing mid-loop")
        << "0000" << Script([](ScriptedList& list) { ++list.contents; }) << "SS.. 0 1+ end";
    QTest::newRow("the list shrinking")
        << "0000" << Script([](ScriptedList& list) { list.editions.truncate(3); }) << "SSS. 0 1+ 2+ end";
    QTest::newRow("the pane cleared meanwhile: the files not taken are asked for again")
        << "0-00" << Script([](ScriptedList& list) {
               list.asked.clear();
               list.dropped = true;
           })
        << "S.SS 0 1+ 2+ 3+ end";
}

void MainFormRulesTest::selectAllRunSelectsOneEditionInListOrderUntilSuperseded()
{
    QFETCH(QString, editions);
    ScriptedList list;
    list.editions = editions;
    QFETCH(Script, during);
    list.during = during;

    list.Run();

    QTEST((QStringList(list.selected) + list.pane).join(' '), "expected");
}

void MainFormRulesTest::matchingImagesFollowTheirSelectedTrackDesigns_data()
{
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<std::vector<bool>>("selected");
    QTest::addColumn<std::vector<int>>("images");

    QTest::newRow("design followed by its image")
        << QStringList{"RIDE.TD4", "RIDE.TP4"} << std::vector{true, false} << std::vector{1};
    QTest::newRow("names compare in upper case")
        << QStringList{"Ride.td4", "RIDE.TP4"} << std::vector{true, false} << std::vector{1};
    QTest::newRow("design not selected")
        << QStringList{"RIDE.TD4", "RIDE.TP4"} << std::vector{false, false} << std::vector<int>{};
    QTest::newRow("selected image without design")
        << QStringList{"RIDE.TP4", "RIDE.TP4"} << std::vector{true, false} << std::vector<int>{};
    QTest::newRow("scan stops at the first other name")
        << QStringList{"RIDE.TD4", "ROAD.TP4", "RIDE.TP4"} << std::vector{true, false, false}
        << std::vector<int>{};
    QTest::newRow("same name with other extensions is passed over")
        << QStringList{"RIDE.TD4", "RIDE.TXT", "RIDE.TP4"} << std::vector{true, false, false}
        << std::vector{2};
    QTest::newRow("the first image ends the scan") << QStringList{"RIDE.TD4", "RIDE.TP4", "RIDE.tp4"}
                                                   << std::vector{true, false, false} << std::vector{1};
    QTest::newRow("names are cut by four characters, not at the dot")
        << QStringList{"RIDE.TD4", "RIDEABCD", "RIDE.TP4"} << std::vector{true, false, false}
        << std::vector{2};
    QTest::newRow("design that is the last item")
        << QStringList{"A.TP4", "RIDE.TD4"} << std::vector{false, true} << std::vector<int>{};
    QTest::newRow("two designs, each with its image")
        << QStringList{"A.TD4", "A.TP4", "B.TD4", "B.TP4"} << std::vector{true, false, true, false}
        << std::vector{1, 3};
    QTest::newRow("captions shorter than four characters shorten to nothing")
        << QStringList{".TD4", "ab", ".tp4"} << std::vector{true, false, false} << std::vector{2};
    QTest::newRow("caption without extension")
        << QStringList{"TD4", "TP4"} << std::vector{true, false} << std::vector<int>{};
    QTest::newRow("items beyond the selection states count as unselected")
        << QStringList{"A.TD4", "A.TP4"} << std::vector<bool>{} << std::vector<int>{};
}

void MainFormRulesTest::matchingImagesFollowTheirSelectedTrackDesigns()
{
    QFETCH(QStringList, captions);
    QFETCH(std::vector<bool>, selected);
    QFETCH(std::vector<int>, images);
    QCOMPARE(lmp::gui::MatchingTrackImages(captions, selected), images);
}

void MainFormRulesTest::matchingImagesAreFoundAnywhereInAListSortedOtherwise_data()
{
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<std::vector<bool>>("selected");
    QTest::addColumn<std::vector<int>>("images");
    QTest::newRow("image before its design")
        << QStringList{"RIDE.tp4", "Ride.TD4"} << std::vector{false, true} << std::vector{0};
    QTest::newRow("other names between") << QStringList{"RIDE.TD4", "ROAD.TP4", "RIDE.TP4"}
                                         << std::vector{true, false, false} << std::vector{2};
    QTest::newRow("the first image of each name, in list order")
        << QStringList{"B.TP4", "A.TD4", "A.TP4", "B.TD4", "a.tp4"}
        << std::vector{false, true, false, true, false} << std::vector{0, 2};
    QTest::newRow("design not selected")
        << QStringList{"RIDE.TP4", "RIDE.TD4"} << std::vector{false, false} << std::vector<int>{};
}

void MainFormRulesTest::matchingImagesAreFoundAnywhereInAListSortedOtherwise()
{
    QFETCH(QStringList, captions);
    QFETCH(std::vector<bool>, selected);
    QFETCH(std::vector<int>, images);
    QCOMPARE(lmp::gui::MatchingTrackImagesAnywhere(captions, selected), images);
}

void MainFormRulesTest::measuredRatioIsTheQuotientRoundedToAFloat_data()
{
    QTest::addColumn<int>("part");
    QTest::addColumn<int>("whole");
    QTest::addColumn<float>("expected");

    // The floats nearest to the quotients, worked out by hand; previous is 0.25.
    QTest::newRow("upper area at design") << 260 << 417 << 0.623501181602478f;
    QTest::newRow("tree at design") << 209 << 595 << 0.3512605130672455f;
    QTest::newRow("seven tenths rounds down") << 7 << 10 << 0.699999988079071f;
    QTest::newRow("nothing of the whole") << 0 << 595 << 0.0f;
    QTest::newRow("no client area keeps the previous ratio") << 5 << 0 << 0.25f;
    QTest::newRow("negative whole keeps the previous ratio") << 5 << -3 << 0.25f;
}

void MainFormRulesTest::measuredRatioIsTheQuotientRoundedToAFloat()
{
    QFETCH(int, part);
    QFETCH(int, whole);
    QFETCH(float, expected);
    // As doubles: QCOMPARE of floats is fuzzy enough to hide a rounding.
    QCOMPARE(double(lmp::gui::MeasureRatio(part, whole, 0.25f)), double(expected));
}

void MainFormRulesTest::appliedRatioIsTheExactProductTruncated_data()
{
    QTest::addColumn<int>("whole");
    QTest::addColumn<float>("ratio");
    QTest::addColumn<int>("expected");

    QTest::newRow("design ratio loses the truncated pixel") << 417 << 0.623501181602478f << 259;
    QTest::newRow("larger client area") << 517 << 0.623501181602478f << 322;
    QTest::newRow("seven tenths of ten is six") << 10 << 0.699999988079071f << 6;
    QTest::newRow("seven tenths of twenty is thirteen") << 20 << 0.699999988079071f << 13;
    QTest::newRow("a third rounded up gives one of three") << 3 << 0.3333333432674408f << 1;
    QTest::newRow("nothing to share") << 0 << 0.5f << 0;
    QTest::newRow("zero ratio") << 100 << 0.0f << 0;
    QTest::newRow("negative ratio") << 100 << -0.5f << 0;
    QTest::newRow("not a number") << 100 << std::numeric_limits<float>::quiet_NaN() << 0;
    QTest::newRow("more than the whole") << 100 << 1.5f << 100;
    QTest::newRow("infinite ratio") << 100 << std::numeric_limits<float>::infinity() << 100;
}

void MainFormRulesTest::appliedRatioIsTheExactProductTruncated()
{
    QFETCH(int, whole);
    QFETCH(float, ratio);
    QFETCH(int, expected);
    QCOMPARE(lmp::gui::ApplyRatio(whole, ratio), expected);
}

void MainFormRulesTest::statusTextsSayCountsFilterAndWork_data()
{
    using lmp::gui::WorkProgress;
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const auto filter = [](std::uint16_t mask, const char* custom = "") {
        return lmp::gui::FilterText({mask, custom});
    };
    const auto work = [](std::optional<WorkProgress> describing, std::optional<WorkProgress> details,
                         std::optional<WorkProgress> copying) {
        return lmp::gui::WorkText(describing, details, copying);
    };
    QTest::newRow("counts grouped") << lmp::gui::CountsText({123456, 1200, 5000, 512})
                                    << "123,456 items (1,200 folders), 5,000 selected, 512 bytes";
    QTest::newRow("all files: no filter said") << filter(32) << "";
    QTest::newRow("all files ticked with others") << filter(33) << "";
    QTest::newRow("designs and saved games") << filter(5) << "Filter: *.TD4, *.SV4";
    QTest::newRow("every kind and a custom one")
        << filter(31, "BAK") << "Filter: *.TD4, *.TP4, *.SV4, *.SC4, *.BAK";
    QTest::newRow("nothing ticked") << filter(0) << "Filter: folders only";
    QTest::newRow("no work") << work({}, {}, {}) << "";
    QTest::newRow("all three") << work(WorkProgress{1200, 5000}, WorkProgress{2, 5}, WorkProgress{3, 2000})
                               << "Describing 1,200 of 5,000, Game Details 40%, Copying 3 of 2,000";
    QTest::newRow("details of nothing") << work({}, WorkProgress{0, 0}, {}) << "Game Details 0%";

    // Game Details says only how much is left: progress counts from the most that was left.
    lmp::gui::PeakProgress peak;
    QStringList steps;
    for (const std::size_t left : {4u, 10u, 6u, 0u, 2u}) {
        const std::optional<WorkProgress> progress = peak.Of(left);
        steps << (progress ? QString("%1/%2").arg(progress->done).arg(progress->total) : "-");
    }
    QTest::newRow("peak progress") << steps.join(' ') << "0/4 0/10 4/10 - 0/2";
}

void MainFormRulesTest::statusTextsSayCountsFilterAndWork()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(text, expected);
}

void MainFormRulesTest::historyGoesBackAndForwardAndForgetsWhatWasAheadOnAVisit_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("expected");
    // A letter visits that folder; '<' goes back, '>' forward (the folder gone to, '-' for none), and
    // every visit that going causes is made as the window makes it.
    QTest::newRow("back and forward") << "a b c < < < > >"
                                      << "b a - b c";
    QTest::newRow("a visit drops what was ahead") << "a b c < < d > <"
                                                  << "b a - a";
    QTest::newRow("the same folder again is no visit") << "a a b b <"
                                                       << "a";
    QTest::newRow("nothing to go to") << "< >"
                                      << "- -";
}

void MainFormRulesTest::historyGoesBackAndForwardAndForgetsWhatWasAheadOnAVisit()
{
    QFETCH(QString, steps);
    QFETCH(QString, expected);
    lmp::gui::FolderHistory history;
    QStringList went;
    for (const QString& step : steps.split(' ')) {
        if (step != "<" && step != ">") {
            history.Visit(step);
            continue;
        }
        const std::optional<QString> folder = step == "<" ? history.Back() : history.Forward();
        went << folder.value_or("-");
        if (folder) {
            history.Visit(*folder);
        }
    }
    QCOMPARE(went.join(' '), expected);
}

void MainFormRulesTest::locationTextNamesTheFolderAndTypedTextIsParsedOnlyWhenEdited_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const QString odd = lmp::gui::PathText("/data/Caf\xe9");
    const auto typed = [](const QString& text, const QString& folder) {
        return lmp::gui::TypedLocation(text, folder, "/home/user");
    };
    const auto above = [](const QString& folder) { return lmp::gui::FolderAbove(folder).value_or("none"); };
    QTest::newRow("shown with U+FFFD") << lmp::gui::LocationText(odd) << QString("/data/Caf") + QChar(0xFFFD);
    QTest::newRow("unchanged text opens the folder itself") << typed(lmp::gui::LocationText(odd), odd) << odd;
    QTest::newRow("edited text is parsed")
        << typed(lmp::gui::LocationText(odd) + "/x", odd) << QString("/data/Caf") + QChar(0xFFFD) + "/x";
    QTest::newRow("trailing slash") << typed("/data/parks//", "/tmp") << "/data/parks";
    QTest::newRow("home") << typed("~/parks", "/tmp") << "/home/user/parks";
    QTest::newRow("relative to the folder") << typed("parks/../saved", "/data") << "/data/saved";
    QTest::newRow("blank") << typed("  ", "/data") << "";
    QTest::newRow("above a folder") << above("/data/parks") << "/data";
    QTest::newRow("above a top folder") << above("/data") << "/";
    QTest::newRow("above the root: the desktop") << above("/") << "";
    QTest::newRow("above a drive") << above("C:/parks") << "C:/";
    QTest::newRow("above the desktop") << above("") << "none";
}

void MainFormRulesTest::locationTextNamesTheFolderAndTypedTextIsParsedOnlyWhenEdited()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(text, expected);
}

QTEST_APPLESS_MAIN(MainFormRulesTest)
#include "MainFormRulesTest.moc"
