#include "gui/WaitPanel.h"

#include "gui/Colors.h"

#include <QLabel>

namespace {
constexpr int Margin = 30;
constexpr quint32 PanelColor = 0x808000; // teal
} // namespace

WaitPanel::WaitPanel(QWidget *parent, const QString &text) : QFrame(parent) {
    setObjectName(QStringLiteral("WaitPanel"));
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, FromBgr(PanelColor));
    colours.setColor(QPalette::WindowText, Qt::white);
    setPalette(colours);
    // Verdana where it is installed; the system's sans-serif otherwise.
    QFont look(QStringLiteral("Verdana"), 10, QFont::Bold);
    look.setStyleHint(QFont::SansSerif);
    setFont(look);

    Message = new QLabel(this);
    Message->setTextFormat(Qt::PlainText);
    Message->setText(text);
    Message->setFont(look);
    Message->setPalette(colours);
    Message->adjustSize();
    Message->move(Margin, Margin);
    resize(Message->width() + 2 * Margin, Message->y() + Message->height() + Margin);
}

WaitPanel *ShowWaitPanel(QWidget *parent, const QString &text) {
    auto *panel = new WaitPanel(parent, text);
    if (parent)
        panel->move((parent->width() - panel->width()) / 2,
                    (parent->height() - panel->height()) / 2);
    panel->raise();
    panel->show();
    return panel;
}
