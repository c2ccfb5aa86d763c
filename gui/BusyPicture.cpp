#include "gui/BusyPicture.h"

#include <QEvent>
#include <QPainter>

BusyPicture::BusyPicture(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    Relayout();
}

void BusyPicture::AddLine(const QString &text) {
    if (LineHeightPx <= 0)
        Relayout();
    Lines.append(text);
    const int keep = FittingLines();
    if (Lines.size() > keep)
        Lines.remove(0, Lines.size() - keep);
    // Painted when the run next lets events through, however many lines came.
    update();
}

void BusyPicture::Clear() {
    Relayout();
    Lines.clear();
    update();
}

void BusyPicture::Relayout() {
    LineHeightPx = fontMetrics().height();
    const int keep = FittingLines();
    if (Lines.size() > keep)
        Lines.remove(0, Lines.size() - keep);
}

QStringList BusyPicture::VisibleLines() const {
    return Lines;
}

int BusyPicture::FittingLines() const {
    // One more than fit whole, so that a part of the oldest shows at the top.
    return LineHeightPx > 0 ? height() / LineHeightPx + 1 : 1;
}

void BusyPicture::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::black);
    painter.setFont(font());
    painter.setClipRect(rect());
    const int ascent = fontMetrics().ascent();
    int top = height() - LineHeightPx;
    for (qsizetype k = Lines.size() - 1; k >= 0 && top > -LineHeightPx; --k) {
        // A status line never spans two lines: a line break in a file name
        // shows as a blank.
        QString line = Lines[k];
        for (QChar &c : line)
            if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
                c = QLatin1Char(' ');
        painter.drawText(QPoint(2, top + ascent), line);
        top -= LineHeightPx;
    }
}

void BusyPicture::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    Relayout();
}

void BusyPicture::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        Relayout();
}
