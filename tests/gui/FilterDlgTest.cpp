// The filter dialog: the all-files rule, the choices saved at showing and put back on cancel, and its
// layout, driven through its buttons, boxes and keys.
#include <QCheckBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "gui/desktop/FileFilter.h"
#include "gui/filter/FilterDlg.h"

using lmp::gui::TFilterDlg;

namespace {

const QStringList kBoxNames{"TD4", "TP4", "SV4", "SC4", "Cus", "All"};

QCheckBox* Box(const TFilterDlg& dialog, qsizetype index)
{
    QCheckBox* const boxes[] = {dialog.FilterTD4CheckBox, dialog.FilterTP4CheckBox, dialog.FilterSV4CheckBox,
                                dialog.FilterSC4CheckBox, dialog.FilterCusCheckBox, dialog.FilterAllCheckBox};
    return boxes[index];
}

// The ticked boxes' names, e.g. "TD4 SV4".
QString Ticked(const TFilterDlg& dialog)
{
    QStringList ticked;
    for (qsizetype i = 0; i < kBoxNames.size(); ++i) {
        if (Box(dialog, i)->isChecked()) {
            ticked << kBoxNames[i];
        }
    }
    return ticked.join(QLatin1Char(' '));
}

// Runs one step: "show", "type:TEXT" into the custom field, a box's name to click it on its tick mark
// as the user would, or one that closes the dialog: "OK", "Cancel", "Enter", "Escape", "close" (its box).
void Run(TFilterDlg& dialog, const QString& step)
{
    if (step == "show") {
        return dialog.open();
    }
    if (step.startsWith("type:")) {
        return dialog.FilterCustomEdit->setText(step.mid(5));
    }
    if (kBoxNames.contains(step)) {
        QCheckBox* box = Box(dialog, kBoxNames.indexOf(step));
        return QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    }
    if (step == "OK" || step == "Cancel") {
        QTest::mouseClick(step == "OK" ? dialog.OKBtn : dialog.CancelBtn, Qt::LeftButton);
    } else if (step == "Enter" || step == "Escape") {
        QWidget* focused = dialog.focusWidget() != nullptr ? dialog.focusWidget() : &dialog;
        QTest::keyClick(focused, step == "Enter" ? Qt::Key_Return : Qt::Key_Escape);
    } else {
        QCOMPARE(step, QStringLiteral("close"));
        dialog.close();
    }
    QVERIFY2(!dialog.isVisible(), qPrintable(step + " left the dialog open"));
}

} // namespace

class FilterDlgTest : public QObject {
    Q_OBJECT

private slots:
    void stepsLeaveTheBoxesTheMaskAndTheCustomText_data();
    void stepsLeaveTheBoxesTheMaskAndTheCustomText();
    void controlsStartAsDesignedInTabOrder();
    void maskAndCustomExtensionChooseTheFilesShown_data();
    void maskAndCustomExtensionChooseTheFilesShown();
};

void FilterDlgTest::stepsLeaveTheBoxesTheMaskAndTheCustomText_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("ticked");
    QTest::addColumn<int>("mask"); // as saved at the last showing
    QTest::addColumn<QString>("custom");

    const QString all = QStringLiteral("TD4 TP4 SV4 SC4 Cus All");
    QTest::newRow("show, tick all, Cancel: back to the boxes at show time")
        << QStringList{"show", "All", "Cancel"} << "TD4 SV4" << 5 << "";
    QTest::newRow("show, tick all, OK: all six ticked at the next showing")
        << QStringList{"show", "All", "OK", "show"} << all << 63 << "";
    QTest::newRow("with all ticked, untick TP4: all files unticked, the others stay")
        << QStringList{"show", "All", "TP4"} << "TD4 SV4 SC4 Cus" << 5 << "";
    QTest::newRow("untick all files by hand: the five others stay")
        << QStringList{"show", "All", "All"} << "TD4 TP4 SV4 SC4 Cus" << 5 << "";
    QTest::newRow("shown with all ticked, untick two, Cancel: all six again")
        << QStringList{"show", "All", "OK", "show", "TP4", "TD4", "Cancel"} << all << 63 << "";
    QTest::newRow("tick all, Enter on a box: all six ticked at the next showing")
        << QStringList{"show", "All", "Enter", "show"} << all << 63 << "";
    QTest::newRow("the disabled custom box ignores clicks")
        << QStringList{"show", "Cus"} << "TD4 SV4" << 5 << "";
    QTest::newRow("untick TD4, Escape: TD4 ticked again")
        << QStringList{"show", "TD4", "Escape"} << "TD4 SV4" << 5 << "";
    QTest::newRow("tick all, the close box: back to the boxes at show time")
        << QStringList{"show", "All", "close"} << "TD4 SV4" << 5 << "";
    QTest::newRow("Cancel puts back the custom text saved at show time")
        << QStringList{"show", "type:ZIP", "OK", "show", "type:RAR", "Cancel"} << "TD4 SV4" << 5 << "ZIP";
}

void FilterDlgTest::stepsLeaveTheBoxesTheMaskAndTheCustomText()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, ticked);
    QFETCH(int, mask);
    QFETCH(QString, custom);

    TFilterDlg dialog;
    QCOMPARE(lmp::gui::FilterDlg, &dialog);
    for (const QString& step : steps) {
        Run(dialog, step);
    }
    QCOMPARE(Ticked(dialog), ticked);
    QCOMPARE(int(dialog.FilterMask), mask);
    QCOMPARE(dialog.FilterCustomEdit->text(), custom);
}

void FilterDlgTest::controlsStartAsDesignedInTabOrder()
{
    const TFilterDlg dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Filter Dialog"));
    QCOMPARE(dialog.size(), QSize(203, 214));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(dialog.OKBtn->isDefault());
    QCOMPARE(dialog.Bevel1->geometry(), QRect(8, 8, 185, 161));
    QCOMPARE(dialog.OKBtn->geometry(), QRect(15, 180, 75, 25));
    QCOMPARE(dialog.CancelBtn->geometry(), QRect(111, 180, 75, 25));
    QCOMPARE(dialog.FilterCusCheckBox->geometry(), QRect(32, 120, 28, 17));
    QCOMPARE(dialog.FilterCustomEdit->geometry(), QRect(60, 120, 105, 21));
    QVERIFY(!dialog.FilterCusCheckBox->isEnabled() && !dialog.FilterCustomEdit->isEnabled());

    // The boxes keep their design places; a caption wider in this face than designed widens its box
    // within the bevel.
    const QStringList captions{"*.TD4 : Track files",
                               "*.TP4 : Track image files",
                               "*.SV4 : Save game files",
                               "*.SC4 : Scenario files",
                               "*.",
                               "*.* : All files"};
    const int tops[] = {24, 48, 72, 96, 120, 144};
    for (qsizetype i = 0; i < captions.size(); ++i) {
        QCOMPARE(Box(dialog, i)->text(), captions[i]);
        QCOMPARE(Box(dialog, i)->pos(), QPoint(32, tops[i]));
        QVERIFY(Box(dialog, i)->geometry().right() < 193);
    }

    // Tab reaches the buttons first, then the boxes top to bottom; the bevel takes no focus.
    const QWidget* tabOrder[] = {dialog.OKBtn,
                                 dialog.CancelBtn,
                                 dialog.FilterTD4CheckBox,
                                 dialog.FilterTP4CheckBox,
                                 dialog.FilterSV4CheckBox,
                                 dialog.FilterSC4CheckBox,
                                 dialog.FilterCusCheckBox,
                                 dialog.FilterCustomEdit,
                                 dialog.FilterAllCheckBox};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i) {
        const QWidget* next = tabOrder[i - 1]->nextInFocusChain();
        while ((next->focusPolicy() & Qt::TabFocus) == 0) {
            next = next->nextInFocusChain();
        }
        QCOMPARE(next, tabOrder[i]);
    }
}

void FilterDlgTest::maskAndCustomExtensionChooseTheFilesShown_data()
{
    QTest::addColumn<int>("mask");
    QTest::addColumn<QString>("custom");
    QTest::addColumn<QString>("shown"); // of the names below, those listed
    QTest::newRow("all files, whatever else") << 32 << ""
                                              << "a.TD4 b.tp4 c.SV4 d.sc4 e.TXT f g.TD4.bak .SV4";
    QTest::newRow("nothing ticked") << 0 << "txt"
                                    << "";
    QTest::newRow("track files and saved games") << 5 << ""
                                                 << "a.TD4 c.SV4 .SV4";
    QTest::newRow("images and scenarios, any case") << 10 << ""
                                                    << "b.tp4 d.sc4";
    QTest::newRow("custom extension") << 16 << "txt"
                                      << "e.TXT";
    QTest::newRow("custom typed with its dot") << 17 << ".BAK"
                                               << "a.TD4 g.TD4.bak";
    QTest::newRow("empty custom: names without one") << 16 << ""
                                                     << "f";
    QTest::newRow("custom unticked ignores its text") << 1 << "txt"
                                                      << "a.TD4";
}

void FilterDlgTest::maskAndCustomExtensionChooseTheFilesShown()
{
    QFETCH(int, mask);
    QFETCH(QString, custom);
    QFETCH(QString, shown);
    const lmp::gui::FileFilter filter{static_cast<std::uint16_t>(mask), custom.toStdString()};
    QStringList listed;
    for (const QString& name : QString("a.TD4 b.tp4 c.SV4 d.sc4 e.TXT f g.TD4.bak .SV4").split(' ')) {
        if (filter.Shows(name.toStdString()))
            listed << name;
    }
    QCOMPARE(listed.join(' '), shown);
}

QTEST_MAIN(FilterDlgTest)
#include "FilterDlgTest.moc"
