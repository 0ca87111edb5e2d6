#include "gui/filter/FilterDlg.h"

#include <algorithm>

#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include "gui/desktop/Fonts.h"

namespace lmp::gui {

TFilterDlg* FilterDlg = nullptr;

namespace {

constexpr QSize kClientSize(203, 214);
constexpr int kBevelInnerRight = 191; // the boxes in the bevel may grow up to its frame

// A check box at its design geometry, wider when the platform's face needs more room for the caption
// than the design face did and the bevel has it.
QCheckBox* CheckBox(const char* caption, QWidget* parent, const QRect& geometry, bool ticked)
{
    auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
    const int fitting = std::min(box->sizeHint().width(), kBevelInnerRight - geometry.left());
    box->setGeometry(geometry.left(), geometry.top(), std::max(geometry.width(), fitting), geometry.height());
    box->setChecked(ticked);
    return box;
}

} // namespace

TFilterDlg::TFilterDlg(QWidget* parent) : QDialog(parent)
{
    FilterDlg = this;
    CreateLayout();
    CreateConnections();
}

TFilterDlg::~TFilterDlg()
{
    if (FilterDlg == this) {
        FilterDlg = nullptr;
    }
}

void TFilterDlg::CreateLayout()
{
    setWindowTitle(QStringLiteral("Filter Dialog"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientSize);
    setFont(PreferredFont(QStringLiteral("MS Sans Serif"), 11, QFontDatabase::GeneralFont));

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setGeometry(15, 180, 75, 25);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setGeometry(111, 180, 75, 25);

    Bevel1 = new QFrame(this);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(8, 8, 185, 161);

    FilterTD4CheckBox = CheckBox("*.TD4 : Track files", this, {32, 24, 145, 17}, true);
    FilterTP4CheckBox = CheckBox("*.TP4 : Track image files", this, {32, 48, 145, 17}, false);
    FilterSV4CheckBox = CheckBox("*.SV4 : Save game files", this, {32, 72, 145, 17}, true);
    FilterSC4CheckBox = CheckBox("*.SC4 : Scenario files", this, {32, 96, 145, 17}, false);
    // The custom box keeps its design width, the text field beside it leaves it no more.
    FilterCusCheckBox = new QCheckBox(QStringLiteral("*."), this);
    FilterCusCheckBox->setGeometry(32, 120, 28, 17);
    FilterCusCheckBox->setEnabled(false);
    FilterCustomEdit = new QLineEdit(this);
    FilterCustomEdit->setGeometry(60, 120, 105, 21);
    FilterCustomEdit->setEnabled(false);
    FilterAllCheckBox = CheckBox("*.* : All files", this, {32, 144, 97, 17}, false);

    setTabOrder(OKBtn, CancelBtn);
    setTabOrder(CancelBtn, FilterTD4CheckBox);
    setTabOrder(FilterTD4CheckBox, FilterTP4CheckBox);
    setTabOrder(FilterTP4CheckBox, FilterSV4CheckBox);
    setTabOrder(FilterSV4CheckBox, FilterSC4CheckBox);
    setTabOrder(FilterSC4CheckBox, FilterCusCheckBox);
    setTabOrder(FilterCusCheckBox, FilterCustomEdit);
    setTabOrder(FilterCustomEdit, FilterAllCheckBox);

    const QScreen* display = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (display != nullptr) {
        move(display->availableGeometry().center() - rect().center());
    }
}

// The boxes' handlers are connected after their initial states are set, so building the dialog runs
// none of them. toggled is emitted only when the ticked state really changes, by the user or by code.
void TFilterDlg::CreateConnections()
{
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { CancelBtnClick(); });
    connect(FilterAllCheckBox, &QCheckBox::toggled, this, [this] { FilterAllCheckBoxClick(); });
    connect(FilterTD4CheckBox, &QCheckBox::toggled, this, [this] { FilterTD4CheckBoxClick(); });
    connect(FilterTP4CheckBox, &QCheckBox::toggled, this, [this] { FilterTP4CheckBoxClick(); });
    connect(FilterSV4CheckBox, &QCheckBox::toggled, this, [this] { FilterSV4CheckBoxClick(); });
    connect(FilterSC4CheckBox, &QCheckBox::toggled, this, [this] { FilterSC4CheckBoxClick(); });
    connect(FilterCusCheckBox, &QCheckBox::toggled, this, [this] { FilterCusCheckBoxClick(); });
}

void TFilterDlg::showEvent(QShowEvent* event)
{
    // A window restored from the task bar is shown again by the system: that is no new showing.
    if (!event->spontaneous()) {
        FormShow();
    }
    QDialog::showEvent(event);
}

std::array<QCheckBox*, 6> TFilterDlg::BoxesInMaskOrder() const
{
    return {FilterTD4CheckBox, FilterTP4CheckBox, FilterSV4CheckBox,
            FilterSC4CheckBox, FilterCusCheckBox, FilterAllCheckBox};
}

void TFilterDlg::FormShow()
{
    FilterMask = Choices().mask;
    FilterCustomExtension = FilterCustomEdit->text();
}

FileFilter TFilterDlg::Choices() const
{
    FileFilter filter;
    filter.mask = 0;
    std::uint16_t bit = 1;
    for (const QCheckBox* box : BoxesInMaskOrder()) {
        if (box->isChecked()) {
            filter.mask = static_cast<std::uint16_t>(filter.mask | bit);
        }
        bit = static_cast<std::uint16_t>(bit << 1);
    }
    filter.customExtension = FilterCustomEdit->text().toStdString();
    return filter;
}

void TFilterDlg::ShowChoices(const FileFilter& filter)
{
    std::uint16_t bit = 1;
    for (QCheckBox* box : BoxesInMaskOrder()) {
        box->setChecked((filter.mask & bit) != 0);
        bit = static_cast<std::uint16_t>(bit << 1);
    }
    FilterCustomEdit->setText(QString::fromStdString(filter.customExtension));
}

std::optional<FileFilter> TFilterDlg::ChooseFilter()
{
    FilterCusCheckBox->setEnabled(true);
    FilterCustomEdit->setEnabled(true);
    if (exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return Choices();
}

void TFilterDlg::OKBtnClick()
{
    accept();
}

// Unticking a box on the way unticks "All files" through that box's handler; "All files" comes last,
// so when it was ticked its handler ticks the five others again and the dialog ends as it was shown.
void TFilterDlg::CancelBtnClick()
{
    std::uint16_t bit = 1;
    for (QCheckBox* box : BoxesInMaskOrder()) {
        box->setChecked((FilterMask & bit) != 0);
        bit = static_cast<std::uint16_t>(bit << 1);
    }
    FilterCustomEdit->setText(FilterCustomExtension);
    QDialog::reject();
}

void TFilterDlg::reject()
{
    // The saved choices belong to the current showing; a dialog never shown has none to put back.
    if (isVisible()) {
        CancelBtnClick();
    } else {
        QDialog::reject();
    }
}

void TFilterDlg::FilterAllCheckBoxClick()
{
    if (!FilterAllCheckBox->isChecked()) {
        return;
    }
    // The custom box is ticked too although it is disabled, so that "All files" means every kind.
    for (QCheckBox* box : BoxesInMaskOrder()) {
        box->setChecked(true);
    }
}

void TFilterDlg::UntickAllUnlessTicked(const QCheckBox& box)
{
    if (!box.isChecked()) {
        FilterAllCheckBox->setChecked(false);
    }
}

void TFilterDlg::FilterTD4CheckBoxClick()
{
    UntickAllUnlessTicked(*FilterTD4CheckBox);
}

void TFilterDlg::FilterTP4CheckBoxClick()
{
    UntickAllUnlessTicked(*FilterTP4CheckBox);
}

void TFilterDlg::FilterSV4CheckBoxClick()
{
    UntickAllUnlessTicked(*FilterSV4CheckBox);
}

void TFilterDlg::FilterSC4CheckBoxClick()
{
    UntickAllUnlessTicked(*FilterSC4CheckBox);
}

void TFilterDlg::FilterCusCheckBoxClick()
{
    UntickAllUnlessTicked(*FilterCusCheckBox);
}

} // namespace lmp::gui
