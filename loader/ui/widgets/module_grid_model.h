#pragma once
// The module grid's rows (GridRows, which the loader dialog's presenter owns) as a Qt table
// model: each cell's text, font, colours, alignment, tooltip and cell type as its prepared
// style says, the header texts and tooltips. It follows every change of the rows through their
// listener; it holds no row data of its own.
#include <QAbstractTableModel>

#include "ui/logic/grid_rows.h"

namespace qm::ui {

class ModuleGridModel : public QAbstractTableModel, private GridRowsListener {
    Q_OBJECT

public:
    // Role under which a cell reports its control type (CImageScaled::kCellType for images).
    static constexpr int kCellTypeRole = Qt::UserRole + 1;

    // rows outlives the model; the model listens to it until destroyed.
    explicit ModuleGridModel(GridRows& rows, QObject* parent = nullptr);
    ~ModuleGridModel() override;

    GridRows& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void rowsAboutToBeInserted(int first, int count) override;
    void rowsInserted(int first, int count) override;
    void rowAboutToBeRemoved(int row) override;
    void rowRemoved(int row) override;
    void rowsAboutToBeReset() override;
    void rowsReset() override;
    void rowChanged(int row) override;
    void rowsAboutToBeSorted() override;
    void rowsSorted(std::span<const int> newRowOf) override;

    GridRows& rows_;
    QModelIndexList persistentBeforeSort_;
};

}  // namespace qm::ui
