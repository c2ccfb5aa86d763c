#pragma once
// Alt+letter for the controls of a window. Captions are translated at run
// time, and a translation carries no "&", so the letters are given after
// each translation, to whatever has none yet.

#include <QChar>
#include <QSet>
#include <QString>

class QWidget;

// The text with "&" before its first letter that is not taken yet, which is
// then taken. A text that has an accelerator already only takes its letter;
// one without a free letter stays as it is. Only letters with a case count, as
// a key a keyboard can type with Alt.
QString WithAccelerator(const QString &text, QSet<QChar> &taken);

// The labels that name a control (their buddy), the buttons and the check
// boxes of the window get an accelerator each where they have none.
void AddAccelerators(QWidget *window);
