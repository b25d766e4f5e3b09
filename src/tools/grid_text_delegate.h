#pragma once

#include <QStyledItemDelegate>

// Draws a cell's text the way a plain grid does: one line from the left edge, cut off at the
// cell's border. It leaves out the full item-view styling, whose text layout costs the most
// when a table of thousands of changing rows is repainted many times a second.
class TzGridTextDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};
