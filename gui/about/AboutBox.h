#pragma once

#include <QDialog>

namespace lmp::gui {

// The About box: the program's name and version with an OK button, shown modally from the Help menu.
class TAboutBox : public QDialog {
    Q_OBJECT

public:
    // Sets AboutBox to the new box.
    explicit TAboutBox(QWidget* parent = nullptr);
    ~TAboutBox() override;
};

// The program's one About box; null until it is created.
extern TAboutBox* AboutBox;

} // namespace lmp::gui
