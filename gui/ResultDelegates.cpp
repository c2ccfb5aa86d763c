#include "gui/ResultDelegates.h"

#include "gui/Colors.h"
#include "gui/LegendWindow.h"
#include "gui/ResultModel.h"
#include "gui/ResultRows.h"

#include <QPainter>

namespace {
constexpr quint32 SelectedText = 0xFF0000;
}

QColor ResultRowDelegate::PaintRowBase(QPainter *painter, const QStyleOptionViewItem &option,
                                       const QModelIndex &index) const {
    const QRect &r = option.rect;
    painter->fillRect(r, index.data(Qt::BackgroundRole).value<QColor>());
    const QColor text = option.state & QStyle::State_Selected
                            ? FromBgr(SelectedText)
                            : option.palette.color(QPalette::Text);
    if (index.data(ResultModel::SeparatorRole).toBool()) {
        painter->setPen(option.palette.color(QPalette::Text));
        painter->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    }
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(text, 1, Qt::DotLine));
        painter->drawRect(r.adjusted(0, 0, -1, -1));
    }
    painter->setPen(text);
    return text;
}

void NamePaneDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const {
    const QVariant mark = index.data(ResultModel::MarkRole);
    if (!mark.isValid())
        return;
    painter->save();
    PaintRowBase(painter, option, index);
    const QString percent = index.data(ResultModel::PercentRole).toString();
    const ResultRows::NameRowLayout layout =
        ResultRows::LayoutNameRow(option.rect, !percent.isEmpty());
    const QPixmap icon = LegendWindow::MarkIcon(quint8(mark.toUInt()));
    if (!icon.isNull())
        painter->drawPixmap(layout.Icon.topLeft(), icon);
    painter->setFont(option.font);
    constexpr int line = Qt::TextSingleLine | Qt::AlignVCenter;
    if (!percent.isEmpty())
        painter->drawText(layout.Percent, line | Qt::AlignRight, percent);
    painter->drawText(layout.Path, line | Qt::AlignLeft, index.data(Qt::DisplayRole).toString());
    painter->restore();
}

QSize NamePaneDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const {
    return {RowWidth, ResultRows::RowHeight};
}

void InfoPaneDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const {
    if (!index.data(ResultModel::MarkRole).isValid())
        return;
    painter->save();
    PaintRowBase(painter, option, index);
    painter->setFont(option.font);
    constexpr int line = Qt::TextSingleLine | Qt::AlignVCenter;
    const QRect r = option.rect.adjusted(0, 1, 0, 0);
    const QString date = index.data(ResultModel::DateRole).toString();
    if (!date.isEmpty())
        painter->drawText(r.adjusted(6, 0, 0, 0), line | Qt::AlignLeft, date);
    // The size text ends in a blank that keeps it off the edge; a right-aligned
    // text drops trailing blanks, so the margin is made here.
    const QString size = index.data(ResultModel::SizeRole).toString();
    const int margin = size.endsWith(QLatin1Char(' '))
                           ? option.fontMetrics.horizontalAdvance(QLatin1Char(' '))
                           : 0;
    painter->drawText(r.adjusted(0, 0, -margin, 0), line | Qt::AlignRight, size.trimmed());
    painter->restore();
}

QSize InfoPaneDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const {
    return {1, ResultRows::RowHeight};
}
