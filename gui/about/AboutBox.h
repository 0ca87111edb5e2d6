#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace lmp::gui {

// The About box: the program's picture, name and version, acknowledgements and a disclaimer, shown
// modally from Help > About...; OK (or Enter) closes it.
class TAboutBox : public QDialog {
    Q_OBJECT

public:
    // Sets AboutBox to the new box, lays it out hidden and centred on the screen, then runs FormCreate.
    explicit TAboutBox(QWidget* parent = nullptr);
    ~TAboutBox() override;

    QFrame* Panel1 = nullptr;
    QPushButton* OKButton = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Copyright = nullptr;
    QLabel* Author = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;

    // Builds the disclaimer in Memo1, once: the box keeps it, and whatever the user types, between showings.
    void FormCreate();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateLayout();
};

// The program's one About box; null until it is created.
extern TAboutBox* AboutBox;

} // namespace lmp::gui
