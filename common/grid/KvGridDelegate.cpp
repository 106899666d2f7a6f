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

// Baseline of a cell's text: 2 px below the top as the font would put it,
// but lifted where the row is lower than the font (the Japanese font's
// ascent reserves room above the digits), so that digits, commas and
// decimal points stay inside the cell instead of being cut at its bottom.
int TKvStringGrid::TextBaseline(const QRect& cell, const QFontMetrics& metrics) {
    constexpr int kTailRoom = 3;   // below the baseline: a comma's tail
    const int natural = cell.top() + kTextIndent + metrics.ascent();
    const int lowest = cell.bottom() - std::min(metrics.descent(), kTailRoom);
    return std::min(natural, lowest);
}

// Text starting 2 px right of the left edge, clipped to the cell.
void TKvStringGrid::DrawLeftText(QPainter& painter, const QRect& cell, const QString& text) {
    painter.save();
    painter.setClipRect(cell, Qt::IntersectClip);
    painter.drawText(QPoint(cell.left() + kTextIndent, TextBaseline(cell, painter.fontMetrics())), text);
    painter.restore();
}

// Background filled, text ending exactly at the right edge.
void TKvStringGrid::DrawRightText(QPainter& painter, const QRect& cell, const QString& text,
                                  const QColor& background) {
    painter.fillRect(cell, background);
    const int width = painter.fontMetrics().horizontalAdvance(text);
    const int rightEdge = cell.left() + cell.width();
    painter.save();
    painter.setClipRect(cell, Qt::IntersectClip);
    painter.drawText(QPoint(rightEdge - width, TextBaseline(cell, painter.fontMetrics())), text);
    painter.restore();
}
