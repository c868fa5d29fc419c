#pragma once
// The module grid's column widths as fractions of its client width. Built in: the name column
// 0.34, the start-up column 0.13, the event column 0.36. The fractions need not add up to 1;
// space beyond the last column stays empty.
#include <map>

namespace qm::ui {

class ColumnFractions {
public:
    ColumnFractions();

    // The fraction of column, created as 0.0 (a column of width 0) when it has none yet.
    double& fraction(int column) { return table_[column]; }
    // As fraction(), without creating an entry.
    double value(int column) const;

    // Pixel width of a column of fraction f in a client area of clientWidth: truncated.
    static int width(double f, int clientWidth);
    // The stored form of a fraction: f x 1000, truncated toward zero.
    static int toStored(double f);
    static double fromStored(int stored) { return stored / 1000.0; }

private:
    std::map<int, double> table_;
};

}  // namespace qm::ui
