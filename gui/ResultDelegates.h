#pragma once
// The painters of the two result panes: the left one shows the mark icon, the
// percentage and the path of a row, the right one its date and size.

#include <QStyledItemDelegate>

// What both panes draw alike: the block's background, the line that ends a
// block, the focus frame; the selected row is told by its text colour.
class ResultRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    // Returns the colour for the row's texts.
    QColor PaintRowBase(QPainter *painter, const QStyleOptionViewItem &option,
                        const QModelIndex &index) const;
};

class NamePaneDelegate : public ResultRowDelegate {
    Q_OBJECT

public:
    using ResultRowDelegate::ResultRowDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The width every row claims, so the pane scrolls sideways to the widest path.
    void SetRowWidth(int width) { RowWidth = width; }

private:
    int RowWidth = 0;
};

class InfoPaneDelegate : public ResultRowDelegate {
    Q_OBJECT

public:
    using ResultRowDelegate::ResultRowDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
