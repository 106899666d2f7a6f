// The heading row of TKvStringGrid: sections in the button face, their
// texts placed as the cells' texts are (TKvStringGrid::DrawLeftText), so
// that a low heading row does not cut what hangs below the line ("_").
#pragma once

#include <QHeaderView>

class KvGridHeader : public QHeaderView {
public:
    explicit KvGridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};
