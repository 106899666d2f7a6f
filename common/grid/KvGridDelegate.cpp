#include "KvGridDelegate.h"

#include <QPainter>

#include "KvStringGrid.h"

namespace {
constexpr int kTextIndent = 2;  // pixels right of and below the cell's corner
}

KvGridDelegate::KvGridDelegate(TKvStringGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

void KvGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    const int col = index.column();
    const int row = grid_->GridRowOfModelRow(index.row());
    const QString text = index.data(Qt::DisplayRole).toString();
    const QRect rect = option.rect;

    painter->save();
    painter->setFont(option.font);
    if (col < grid_->FixedCols() || row < grid_->FixedRows()) {
        painter->fillRect(rect, option.palette.color(QPalette::Button));
        painter->setPen(option.palette.color(QPalette::ButtonText));
        TKvStringGrid::DrawLeftText(*painter, rect, text);
        painter->restore();
        return;
    }

    TKvStringGrid::CellStyle style;
    if (grid_->OnDrawCell) grid_->OnDrawCell(col, row, style);
    const QColor background = row == grid_->Row() ? TKvStringGrid::CurrentRowColor() : QColor(Qt::white);
    painter->setPen(style.Text);
    if (style.RightAlign) {
        TKvStringGrid::DrawRightText(*painter, rect, text, background);
    } else {
        painter->fillRect(rect, background);
        TKvStringGrid::DrawLeftText(*painter, rect, text);
    }
    painter->restore();
}

// Text starting 2 px right of and below the top-left corner, clipped.
void TKvStringGrid::DrawLeftText(QPainter& painter, const QRect& cell, const QString& text) {
    const QRect area(cell.left() + kTextIndent, cell.top() + kTextIndent,
                     std::max(0, cell.width() - kTextIndent), std::max(0, cell.height() - kTextIndent));
    painter.save();
    painter.setClipRect(cell, Qt::IntersectClip);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    painter.restore();
}

// Background filled, text 2 px below the top ending exactly at the right edge.
void TKvStringGrid::DrawRightText(QPainter& painter, const QRect& cell, const QString& text,
                                  const QColor& background) {
    painter.fillRect(cell, background);
    const int width = painter.fontMetrics().horizontalAdvance(text);
    const int rightEdge = cell.left() + cell.width();
    const QRect area(rightEdge - width, cell.top() + kTextIndent, width,
                     std::max(0, cell.height() - kTextIndent));
    painter.save();
    painter.setClipRect(cell, Qt::IntersectClip);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    painter.restore();
}
