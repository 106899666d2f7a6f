#include "KvGridHeader.h"

#include <QPainter>
#include <QStyleOptionHeader>

#include "KvStringGrid.h"

void KvGridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!rect.isValid()) return;
    QStyleOptionHeader section;
    initStyleOption(&section);
    section.rect = rect;
    section.section = logicalIndex;
    style()->drawControl(QStyle::CE_HeaderSection, &section, painter, this);
    painter->save();
    painter->setFont(font());
    painter->setPen(palette().color(QPalette::ButtonText));
    TKvStringGrid::DrawLeftText(*painter, rect, model()->headerData(logicalIndex, orientation()).toString());
    painter->restore();
}
