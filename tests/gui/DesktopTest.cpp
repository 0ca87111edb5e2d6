// The small layers over the desktop: the install-folder record, the error box, the regional decimal
// mark, fonts and native paths.
#include <optional>
#include <stdexcept>

#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QTest>

#include "GuiTestSupport.h"
#include "gui/desktop/DecimalMark.h"
#include "gui/desktop/ErrorBox.h"
#include "gui/desktop/Fonts.h"
#include "gui/desktop/InstallFolder.h"
#include "gui/desktop/NativePath.h"
#include "gui/main/MainForm.h"

using lmp::guitest::MachineSettings;
using lmp::guitest::MessageBoxCatcher;

Q_DECLARE_METATYPE(std::optional<QString>)

class DesktopTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void installFolderComesFromTheSetupRecord_data();
    void installFolderComesFromTheSetupRecord();
    void installFolderThatIsNotTextIsAnError_data();
    void installFolderThatIsNotTextIsAnError();
    void readingTheInstallFolderLeavesTheRecordAsItWas();

    void errorLeavingAHandlerEndsItAndShowsItsTextTitledWithTheProgram();

    void decimalMarkIsTheRegionalOne_data();
    void decimalMarkIsTheRegionalOne();

    void preferredFontIsUsedWhenInstalled();
    void missingFixedPitchFaceFallsBackToThePlatformOne();

    void nativePathKeepsNonAsciiNamesAndShownNameReplacesWhatCouldPoseAsAnother();
};

void DesktopTest::initTestCase()
{
    QApplication::setApplicationDisplayName(QString::fromLatin1(lmp::gui::kApplicationTitle));
}

void DesktopTest::cleanup()
{
    QLocale::setDefault(QLocale::system());
}

void DesktopTest::installFolderComesFromTheSetupRecord_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<std::optional<QString>>("expected");

    QTest::newRow("no record") << QByteArray() << std::optional<QString>();
    QTest::newRow("path") << QByteArray("[General]\nPath=/games/lumora\n")
                          << std::optional<QString>("/games/lumora");
    QTest::newRow("path with blanks, quoted") << QByteArray("[General]\nPath=\"/games/Lumora Parks, Gold\"\n")
                                              << std::optional<QString>("/games/Lumora Parks, Gold");
    QTest::newRow("comma, unquoted") << QByteArray("[General]\nPath=/games/Parks, Vol 1\n")
                                     << std::optional<QString>("/games/Parks, Vol 1");
    QTest::newRow("commas and blanks as written, a comment after")
        << QByteArray("Path = /games/a,b ,  c ; the setup's\n") << std::optional<QString>("/games/a,b ,  c");
    QTest::newRow("escaped quote and comma")
        << QByteArray("[General]\nPath=x\\\", y\n") << std::optional<QString>("x\", y");
    QTest::newRow("comma in another section only")
        << QByteArray("[General]\nPath=/games/x\n[Other]\nPath=/a, b\n")
        << std::optional<QString>("/games/x");
    QTest::newRow("empty path") << QByteArray("[General]\nPath=\n") << std::optional<QString>("");
    QTest::newRow("record without the path")
        << QByteArray("[General]\nVersion=1.0\n") << std::optional<QString>("");
    QTest::newRow("empty record") << QByteArray("") << std::optional<QString>();
}

void DesktopTest::installFolderComesFromTheSetupRecord()
{
    QFETCH(QByteArray, record);
    QFETCH(std::optional<QString>, expected);

    const MachineSettings settings;
    if (!record.isNull()) {
        settings.WriteSetupRecord(record);
    }
    QCOMPARE(lmp::gui::ReadInstallFolder(), expected);
}

void DesktopTest::installFolderThatIsNotTextIsAnError_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::newRow("bytes") << QByteArray("[General]\nPath=@ByteArray(/games/lumora)\n");
    QTest::newRow("point") << QByteArray("[General]\nPath=@Point(1 2)\n");
    QTest::newRow("variant holding text")
        << QByteArray("[General]\nPath=@Variant(\\0\\0\\0\\n\\0\\0\\0\\x2/a)\n");
    QTest::newRow("bytes with a comma") << QByteArray("[General]\nPath=@ByteArray(/games/a, b)\n");
}

void DesktopTest::installFolderThatIsNotTextIsAnError()
{
    QFETCH(QByteArray, record);
    const MachineSettings settings;
    settings.WriteSetupRecord(record);
    try {
        lmp::gui::ReadInstallFolder();
        QFAIL("no error");
    } catch (const lmp::gui::SettingsError& error) {
        QCOMPARE(QString::fromUtf8(error.what()), QStringLiteral("Invalid data type for 'Path'"));
    }
}

void DesktopTest::readingTheInstallFolderLeavesTheRecordAsItWas()
{
    // Settings written back would come out reformatted, without the comment and the blanks.
    const QByteArray record("; written by the setup\n[General]\nPath = /games/lumora\nVersion=1.0\n");
    const MachineSettings settings;
    settings.WriteSetupRecord(record);

    QCOMPARE(lmp::gui::ReadInstallFolder(), std::optional<QString>("/games/lumora"));

    QFile file(settings.SetupRecordPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), record);
}

void DesktopTest::errorLeavingAHandlerEndsItAndShowsItsTextTitledWithTheProgram()
{
    const MessageBoxCatcher catcher;
    bool rest = false;
    bool after = false;
    lmp::gui::RunHandler([&] {
        throw std::runtime_error("Cannot open file /games/a\n\x1b[2J\t<b>.TD4");
        rest = true;
    });
    after = true;

    // Control characters from the path show as U+FFFD.
    QTRY_COMPARE(catcher.texts,
                 QStringList{QStringLiteral("Cannot open file /games/a\uFFFD\uFFFD[2J\uFFFD<b>.TD4")});
    QCOMPARE(catcher.titles, QStringList{"LMPexplorer"});
    QVERIFY(!rest);
    QVERIFY(after);
}

void DesktopTest::decimalMarkIsTheRegionalOne_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("C") << QLocale::c() << QByteArray(".");
    QTest::newRow("United States") << QLocale(QLocale::English, QLocale::UnitedStates) << QByteArray(".");
    QTest::newRow("Germany") << QLocale(QLocale::German, QLocale::Germany) << QByteArray(",");
    QTest::newRow("Egypt, two bytes of UTF-8")
        << QLocale(QLocale::Arabic, QLocale::Egypt) << QByteArray("\xd9\xab");
}

void DesktopTest::decimalMarkIsTheRegionalOne()
{
    QFETCH(QLocale, locale);
    QFETCH(QByteArray, expected);
    QLocale::setDefault(locale);
    QCOMPARE(QByteArray::fromStdString(lmp::gui::RegionalDecimalMark()), expected);
}

void DesktopTest::preferredFontIsUsedWhenInstalled()
{
    if (!QFontDatabase::hasFamily(QStringLiteral("DejaVu Sans"))) {
        QSKIP("DejaVu Sans (fonts-dejavu-core) is not installed");
    }
    const QFont font = lmp::gui::PreferredFont(QStringLiteral("DejaVu Sans"), 11, QFontDatabase::FixedFont);
    QCOMPARE(font.family(), QStringLiteral("DejaVu Sans"));
    QCOMPARE(font.pixelSize(), 11);
}

void DesktopTest::missingFixedPitchFaceFallsBackToThePlatformOne()
{
    const QString missing = QStringLiteral("No Such Face 7f3a");
    QVERIFY(!QFontDatabase::hasFamily(missing));
    const QFont font = lmp::gui::PreferredFont(missing, 12, QFontDatabase::FixedFont);
    QCOMPARE(font.family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    QCOMPARE(font.pixelSize(), 12);
}

void DesktopTest::nativePathKeepsNonAsciiNamesAndShownNameReplacesWhatCouldPoseAsAnother()
{
    QCOMPARE(lmp::gui::NativePath(QStringLiteral("/games/Caf\u00e9 Cascade.SC4")).string(),
             std::string("/games/Caf\xc3\xa9 Cascade.SC4"));
#ifndef Q_OS_WIN
    // Paths whose names are not UTF-8 go through the program's text and back unchanged.
    for (const std::string bytes : {"/games/Caf\xe9", "/\xff\xfe/\xc3(/x\xed\xa0\x80",
                                    "/a\xf0\x9f\x8e\xa2\x80z", "/\xe2\x80", "/plain/Caf\xc3\xa9"}) {
        const QString text = lmp::gui::PathText(bytes);
        QCOMPARE(lmp::gui::NativePath(text).native(), bytes);
    }
    // Text from elsewhere that holds a lone surrogate is not taken for a byte.
    QCOMPARE(lmp::gui::NativePath(QString(QChar(0xD83C)) + QChar(0xDCE9)).native(),
             std::string("\xf0\x9f\x83\xa9"));
    // A name shows stray bytes, controls and bidirectional controls as U+FFFD, nothing else.
    const std::pair<const char*, QString> shown[] = {
        {"Coaster 2.TD4", QStringLiteral("Coaster 2.TD4")},
        {"Caf\xe9.SV4", QStringLiteral("Caf\uFFFD.SV4")},
        {"a\xe2\x80\xaegpj.TD4", QStringLiteral("a\uFFFDgpj.TD4")},
        {"\xe2\x81\xa6x\xe2\x80\x8f\xe2\x80\xaf.TD4", QStringLiteral("\uFFFDx\uFFFD\u202F.TD4")},
        {"a\nb\x1b.TD4", QStringLiteral("a\uFFFDb\uFFFD.TD4")}};
    for (const auto& [name, text] : shown) {
        QCOMPARE(lmp::gui::ShownName(name), text);
    }
#endif
}

QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
