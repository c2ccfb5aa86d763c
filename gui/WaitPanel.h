#pragma once
// A coloured notice centred over a control while a longer action runs.

#include <QFrame>

class QLabel;

class WaitPanel : public QFrame {
    Q_OBJECT

public:
    WaitPanel(QWidget *parent, const QString &text);

    QLabel *Label() const { return Message; }

private:
    QLabel *Message;
};

// Creates the panel on parent, sized to the text with a 30 pixel margin,
// centred and in front. The caller deletes it when the action is done.
WaitPanel *ShowWaitPanel(QWidget *parent, const QString &text);
