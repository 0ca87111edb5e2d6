#pragma once

#include <cstddef>
#include <vector>

namespace lmp::gui {

// Which rows of the file list are selected, as the list shows them and as its selection model holds them,
// and the rows staged between the two: asking about a row costs the same however scattered the selection
// is, where the selection model's own queries cost as much as the selection has ranges, which a scattered
// selection of a large folder makes thousands.
class ListSelection {
public:
    // The staged rows whose shown state the selection model does not hold yet.
    struct Handover {
        std::vector<int> added;
        std::vector<int> removed;
    };

    // rows rows, none selected or staged.
    void Reset(std::size_t rows);
    std::size_t Rows() const { return rows_.size(); }
    // The rows shown selected.
    int Count() const { return count_; }
    // False for a row outside.
    bool Selected(int row) const;
    // The rows shown selected, in ascending order.
    std::vector<int> SelectedRows() const;
    // Whether each row is shown selected (1) or not (0).
    std::vector<unsigned char> SelectedFlags() const;

    // The selection model's change over rows top to bottom, those outside left out: shown and held alike.
    void Mark(int top, int bottom, bool selected);
    // Shows the row selected or not ahead of the selection model; a row outside is left alone.
    void Stage(int row, bool selected);
    // Rows staged since the last handover.
    std::size_t Staged() const { return staged_.size(); }
    // Forgets which rows were staged, as a reset of the rows does.
    void DropStaged() { staged_.clear(); }
    // Ends the stage: what the selection model is to be told. The rows are marked as held once it is.
    Handover TakeStaged();

private:
    enum RowFlag : unsigned char {
        kSelected = 1,  // as the list shows it
        kStaged = 2,    // staged since the last handover
        kModelHeld = 4, // selected in the selection model
    };
    std::vector<unsigned char> rows_;
    int count_ = 0;
    std::vector<int> staged_; // rows staged since the last handover, in the order staged
};

} // namespace lmp::gui
