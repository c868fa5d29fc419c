#include "ui/logic/column_fractions.h"

namespace qm::ui {

ColumnFractions::ColumnFractions() : table_{{1, 0.34}, {3, 0.13}, {7, 0.36}} {}

double ColumnFractions::value(int column) const {
    auto it = table_.find(column);
    return it == table_.end() ? 0.0 : it->second;
}

int ColumnFractions::width(double f, int clientWidth) {
    return static_cast<int>(clientWidth * f);
}

int ColumnFractions::toStored(double f) {
    return static_cast<int>(f * 1000);
}

}  // namespace qm::ui
