// The About box: its disclaimer, how it closes, its captions, picture and layout; its text and the
// filter dialog's in a dark palette.
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>

#include "gui/about/AboutBox.h"
#include "gui/about/ParkPicture.h"
#include "gui/filter/FilterDlg.h"

using lmp::gui::TAboutBox;

class AboutBoxTest : public QObject {
    Q_OBJECT

private slots:
    void disclaimerIsBuiltOnceAndKeepsWhatTheUserTypedBetweenShowingsWhichStartOnOk();
    void enterOrAClickOnOkClosesTheBoxWithOk_data();
    void enterOrAClickOnOkClosesTheBoxWithOk();
    void captionsAndControlsStandAsDesigned();
    void pictureIsATwentyFourBitParkSceneOfTheIconsSize();
    void textOfTheAboutBoxAndTheFilterDialogFollowsADarkPalette();
};

void AboutBoxTest::textOfTheAboutBoxAndTheFilterDialogFollowsADarkPalette()
{
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    for (const auto& [role, colour] : {std::pair{QPalette::Window, QColor(32, 32, 32)},
                                       {QPalette::Button, QColor(48, 48, 48)},
                                       {QPalette::Base, QColor(24, 24, 24)},
                                       {QPalette::WindowText, QColor(224, 224, 224)},
                                       {QPalette::ButtonText, QColor(230, 230, 230)},
                                       {QPalette::Text, QColor(236, 236, 236)}}) {
        dark.setColor(role, colour);
    }
    QApplication::setPalette(dark);
    const auto restore = qScopeGuard([&light] { QApplication::setPalette(light); });
    TAboutBox about;
    lmp::gui::TFilterDlg filter;

    QCOMPARE(about.palette().color(about.backgroundRole()), dark.color(QPalette::Button));
    for (const QLabel* label : about.findChildren<QLabel*>()) {
        if (label->pixmap().isNull()) {
            QCOMPARE(label->palette().color(label->foregroundRole()), dark.color(label->foregroundRole()));
        }
    }
    QCOMPARE(about.Memo1->palette().color(QPalette::Text), dark.color(QPalette::Text));
    QCOMPARE(about.OKButton->palette().color(QPalette::ButtonText), dark.color(QPalette::ButtonText));
    QCOMPARE(filter.FilterCustomEdit->palette().color(QPalette::Text), dark.color(QPalette::Text));
}

void AboutBoxTest::disclaimerIsBuiltOnceAndKeepsWhatTheUserTypedBetweenShowingsWhichStartOnOk()
{
    const QString disclaimer = QStringLiteral(
        "This program is a utility for the commercial game: Lumora Parks, which is copyright Corin Vale and "
        "distributed by Halberd Interactive Ltd.  This utility program is in no way affiliated with or "
        "recognized by Corin Vale, Halberd, etc.  It lets you inspect files associated with Lumora Parks "
        "such as the track save files (TD4), and game save files (SV4).  Information about Lumora Parks "
        "files is displayed below the directory window. ");
    TAboutBox box;
    QCOMPARE(lmp::gui::AboutBox, &box);
    box.open();
    QCOMPARE(box.Memo1->toPlainText(), disclaimer);
    QVERIFY(QTest::qWaitForWindowActive(&box));
    box.Memo1->setFocus();
    box.Memo1->moveCursor(QTextCursor::End);
    QTest::keyClicks(box.Memo1, QStringLiteral("ok"));
    box.accept();

    box.open();
    QCOMPARE(box.Memo1->toPlainText(), disclaimer + "ok");
    QCOMPARE(box.Memo1->document()->blockCount(), 1);
    QVERIFY(QTest::qWaitForWindowActive(&box));
    QCOMPARE(QApplication::focusWidget(), box.OKButton);
}

void AboutBoxTest::enterOrAClickOnOkClosesTheBoxWithOk_data()
{
    QTest::addColumn<bool>("byEnter");
    QTest::newRow("Enter on the focused OK button") << true;
    QTest::newRow("a click on OK") << false;
}

void AboutBoxTest::enterOrAClickOnOkClosesTheBoxWithOk()
{
    QFETCH(bool, byEnter);
    TAboutBox box;
    box.open();
    QVERIFY(QTest::qWaitForWindowActive(&box));
    QCOMPARE(QApplication::focusWidget(), box.OKButton);
    if (byEnter) {
        QTest::keyClick(box.OKButton, Qt::Key_Return);
    } else {
        QTest::mouseClick(box.OKButton, Qt::LeftButton);
    }
    QVERIFY(!box.isVisible());
    QCOMPARE(box.result(), int(QDialog::Accepted));
}

void AboutBoxTest::captionsAndControlsStandAsDesigned()
{
    const TAboutBox box;
    QCOMPARE(box.windowTitle(), QStringLiteral(" About LMP explorer"));
    QCOMPARE(box.size(), QSize(337, 308));
    QCOMPARE(box.minimumSize(), box.maximumSize());
    QVERIFY(box.OKButton->isDefault());

    const std::tuple<QLabel*, QString, QPoint> labels[] = {
        {box.ProductName, "LMP Explorer", {220, 16}},
        {box.Version, "Version 1.13", {225, 32}},
        {box.Copyright, "Copyright (c) 2026", {216, 56}},
        {box.Author, "Ansel Brightwater", {216, 72}},
        {box.Label1, "Special thanks to :", {208, 104}},
        {box.Label2, "Mira Solberg", {203, 120}},
        {box.Label3, "for testing and suggestions.", {216, 136}},
    };
    for (const auto& [label, caption, position] : labels) {
        QCOMPARE(label->text(), caption);
        QCOMPARE(label->pos(), position);
        QCOMPARE(label->parentWidget(), box.Panel1);
    }
    QVERIFY(box.Label3->wordWrap());
    // Two lines, as designed, in whichever face the system gives.
    QVERIFY(box.Label3->width() >= 70);
    QCOMPARE(box.Label3->heightForWidth(box.Label3->width()), 2 * box.Label3->fontMetrics().lineSpacing());

    QCOMPARE(box.OKButton->text(), QStringLiteral("OK"));
    QCOMPARE(box.OKButton->geometry(), QRect(144, 282, 65, 23));
    QCOMPARE(box.Panel1->geometry(), QRect(8, 8, 321, 177));
    QCOMPARE(box.Memo1->geometry(), QRect(8, 192, 321, 85));
    QCOMPARE(box.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

void AboutBoxTest::pictureIsATwentyFourBitParkSceneOfTheIconsSize()
{
    const QImage picture = lmp::gui::ParkPicture();
    QCOMPARE(picture.size(), QSize(194, 158));
    QCOMPARE(picture.depth(), 24);
    // Blue sky in the top corner, grass along the bottom edge.
    const QColor sky = picture.pixelColor(2, 2);
    QVERIFY(sky.blue() > sky.green() && sky.green() > sky.red());
    const QColor grass = picture.pixelColor(2, 155);
    QVERIFY(grass.green() > grass.red() && grass.green() > grass.blue());

    const TAboutBox box;
    QCOMPARE(box.ProgramIcon->geometry(), QRect(4, 8, 194, 158));
    QCOMPARE(box.ProgramIcon->pixmap().size(), QSize(194, 158));
}

QTEST_MAIN(AboutBoxTest)
#include "AboutBoxTest.moc"
