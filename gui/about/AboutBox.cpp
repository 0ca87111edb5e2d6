#include "gui/about/AboutBox.h"

#include <algorithm>

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include "gui/about/ParkPicture.h"
#include "gui/desktop/Fonts.h"

namespace lmp::gui {

TAboutBox* AboutBox = nullptr;

namespace {

constexpr QSize kClientSize(337, 308);

// The disclaimer's pieces, joined in this order into one paragraph; each ends in the blank (two after
// a full stop) that separates it from the next.
constexpr const char* kDisclaimerPieces[] = {
    "This program is a utility for the commercial game: Lumora Parks, ",
    "which is copyright Corin Vale and distributed by Halberd Interactive Ltd.  ",
    "This utility program is in no way affiliated with or recognized by Corin ",
    "Vale, Halberd, etc.  It lets you inspect files associated with ",
    "Lumora Parks such as the track save files (TD4), and game save files (SV4).  ",
    "Information about Lumora Parks files is displayed below the directory window. ",
};

QLabel* Caption(const char* text, QWidget* parent, int left, int top)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    AboutBox = this;
    CreateLayout();
    FormCreate();
}

TAboutBox::~TAboutBox()
{
    if (AboutBox == this) {
        AboutBox = nullptr;
    }
}

void TAboutBox::CreateLayout()
{
    setWindowTitle(QStringLiteral(" About LMP explorer"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientSize);
    setFont(PreferredFont(QStringLiteral("MS Sans Serif"), 11, QFontDatabase::GeneralFont));
    // The button face of whatever palette is in use, under that palette's own text colours.
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setGeometry(8, 8, 321, 177);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setGeometry(144, 282, 65, 23);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setGeometry(QRect(QPoint(4, 8), kParkPictureSize));
    ProgramIcon->setPixmap(QPixmap::fromImage(ParkPicture()));

    ProductName = Caption("LMP Explorer", Panel1, 220, 16);
    Version = Caption("Version " LMP_VERSION, Panel1, 225, 32);
    Copyright = Caption("Copyright (c) 2026", Panel1, 216, 56);
    Author = Caption("Ansel Brightwater", Panel1, 216, 72);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setGeometry(8, 192, 321, 85);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setWordWrapMode(QTextOption::WordWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    Label1 = Caption("Special thanks to :", Panel1, 208, 104);
    Label2 = Caption("Mira Solberg", Panel1, 203, 120);
    Label3 = new QLabel(QStringLiteral("for testing and suggestions."), Panel1);
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Two lines, as designed: 70 pixels hold them in the design's face; a wider face gets the width
    // that two lines need, up to the panel's edge, rather than a third line.
    const int twoLines = 2 * Label3->fontMetrics().lineSpacing();
    int width = 70;
    while (width < Panel1->width() - 216 - 2 && Label3->heightForWidth(width) > twoLines) {
        ++width;
    }
    Label3->setGeometry(216, 136, width, std::max(26, Label3->heightForWidth(width)));

    // Tab goes from the button to the disclaimer and back; the labels take no focus.
    setTabOrder(OKButton, Memo1);

    const QScreen* display = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (display != nullptr) {
        move(display->availableGeometry().center() - rect().center());
    }
}

void TAboutBox::FormCreate()
{
    Memo1->clear();
    Memo1->setPlainText(QString());
    for (const char* piece : kDisclaimerPieces) {
        QString text = Memo1->toPlainText();
        text += QString::fromLatin1(piece);
        Memo1->setPlainText(text);
    }
}

void TAboutBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    OKButton->setFocus(Qt::OtherFocusReason);
}

} // namespace lmp::gui
