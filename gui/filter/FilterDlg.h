#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include <QDialog>
#include <QString>

#include "gui/desktop/FileFilter.h"

class QCheckBox;
class QFrame;
class QLineEdit;
class QPushButton;

namespace lmp::gui {

// The filter dialog: which kinds of file the list should show. It keeps its choices for the whole run;
// ticking "All files" ticks every kind, unticking a kind unticks "All files", and cancelling puts back
// the choices it was shown with. Its choices are the file list's filter.
class TFilterDlg : public QDialog {
    Q_OBJECT

public:
    // Sets FilterDlg to the new dialog and lays it out hidden and centred on the screen, with the
    // track files and the saved games ticked.
    explicit TFilterDlg(QWidget* parent = nullptr);
    ~TFilterDlg() override;

    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QFrame* Bevel1 = nullptr;
    QCheckBox* FilterTD4CheckBox = nullptr;
    QCheckBox* FilterTP4CheckBox = nullptr;
    QCheckBox* FilterSV4CheckBox = nullptr;
    QCheckBox* FilterSC4CheckBox = nullptr;
    QCheckBox* FilterCusCheckBox = nullptr;
    QLineEdit* FilterCustomEdit = nullptr;
    QCheckBox* FilterAllCheckBox = nullptr;

    // The choices the dialog was last shown with, kept for the run: one bit per ticked box (1 TD4,
    // 2 TP4, 4 SV4, 8 SC4, 16 custom, 32 all files) and the custom extension's text.
    std::uint16_t FilterMask = 0;
    QString FilterCustomExtension;

    // Handlers. The check boxes' run whenever their ticked state changes, by the user or by the program.
    void FormShow();
    void OKBtnClick();     // closes the dialog with OK; the choices stay
    void CancelBtnClick(); // puts back the choices the dialog was shown with, then closes it with Cancel
    void FilterAllCheckBoxClick();
    void FilterTD4CheckBoxClick();
    void FilterTP4CheckBoxClick();
    void FilterSV4CheckBoxClick();
    void FilterSC4CheckBoxClick();
    void FilterCusCheckBoxClick();

    // The choices as the file list's filter: the ticked boxes as its mask, the custom extension's text.
    FileFilter Choices() const;
    // Ticks the boxes of the filter's mask and shows its custom extension; "All files" comes last, so
    // that ticking it ticks the others as the dialog always does.
    void ShowChoices(const FileFilter& filter);
    // Shows the dialog modally with the custom extension enabled: its choices on OK, none on Cancel.
    std::optional<FileFilter> ChooseFilter();

    // Escape and the close box cancel as the Cancel button does; a hidden dialog only stays hidden.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateLayout();
    void CreateConnections();
    std::array<QCheckBox*, 6> BoxesInMaskOrder() const; // bit 1 first, "All files" (32) last
    void UntickAllUnlessTicked(const QCheckBox& box);
};

// The program's one filter dialog; null until it is created.
extern TFilterDlg* FilterDlg;

} // namespace lmp::gui
