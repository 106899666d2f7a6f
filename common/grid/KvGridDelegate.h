// Paints the cells of TKvStringGrid by the shared rules: fixed cells in the
// button face, the others black (or as the view's draw handler says) on
// white, aqua for the current row, left text 2 px in, numbers flush right.
#pragma once

#include <QStyledItemDelegate>

class TKvStringGrid;

class KvGridDelegate : public QStyledItemDelegate {
public:
    explicit KvGridDelegate(TKvStringGrid* grid);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    TKvStringGrid* grid_;
};
