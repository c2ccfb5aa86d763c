#include "gui/GradientPanel.h"

#include "gui/Colors.h"

#include <QLinearGradient>
#include <QPainter>

GradientPanel::GradientPanel(QWidget *parent) : QWidget(parent) {}

void GradientPanel::SetColors(quint32 top, quint32 bottom) {
    Top = top;
    Bottom = bottom;
    update();
}

void GradientPanel::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, FromBgr(Top));
    gradient.setColorAt(1, FromBgr(Bottom));
    painter.fillRect(rect(), gradient);
}
