#pragma once
// The module grid's memory of its last header-click sort. It starts as "column 1 ascending"
// although the rows are not sorted then, so that the first click on the name header sorts
// descending and rows added later go in name order.
namespace qm::ui {

class GridSortState {
public:
    // Records a click on column's header; returns whether that sort is descending: it is when
    // the same column was last sorted ascending.
    bool click(int column) {
        descending_ = column == column_ && !descending_;
        column_ = column;
        return descending_;
    }
    int column() const { return column_; }
    bool descending() const { return descending_; }

private:
    int column_ = 1;
    bool descending_ = false;
};

}  // namespace qm::ui
