#include "gui/Accelerators.h"

#include <QAbstractButton>
#include <QLabel>
#include <QList>
#include <QWidget>

namespace {
// Position of the letter after a single "&", or -1 ("&&" is a plain "&").
qsizetype AcceleratorPosition(const QString &text) {
    for (qsizetype k = 0; k + 1 < text.size(); ++k) {
        if (text[k] != QLatin1Char('&'))
            continue;
        if (text[k + 1] != QLatin1Char('&'))
            return k + 1;
        ++k;
    }
    return -1;
}

bool Typeable(QChar c) {
    return c.isLetter() && c.toLower() != c.toUpper();
}

// The texts that may carry an accelerator, in the window's own order.
QList<QWidget *> Captioned(QWidget *window) {
    QList<QWidget *> found;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (widget->window() != window)
            continue;
        if (auto *label = qobject_cast<QLabel *>(widget); label && label->buddy())
            found.append(label);
        else if (qobject_cast<QAbstractButton *>(widget))
            found.append(widget);
    }
    return found;
}

QString TextOf(QWidget *widget) {
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    return static_cast<QAbstractButton *>(widget)->text();
}

void SetTextOf(QWidget *widget, const QString &text) {
    if (auto *label = qobject_cast<QLabel *>(widget))
        label->setText(text);
    else
        static_cast<QAbstractButton *>(widget)->setText(text);
}
} // namespace

QString WithAccelerator(const QString &text, QSet<QChar> &taken) {
    if (const qsizetype given = AcceleratorPosition(text); given >= 0) {
        taken.insert(text[given].toLower());
        return text;
    }
    for (qsizetype k = 0; k < text.size(); ++k) {
        const QChar c = text[k];
        if (c == QLatin1Char('&')) {
            ++k; // the second "&" of "&&"
            continue;
        }
        if (!Typeable(c) || taken.contains(c.toLower()))
            continue;
        taken.insert(c.toLower());
        return text.left(k) + QLatin1Char('&') + text.mid(k);
    }
    return text;
}

void AddAccelerators(QWidget *window) {
    const QList<QWidget *> widgets = Captioned(window);
    QSet<QChar> taken;
    // Letters given already are kept, so they are taken before any is chosen.
    for (QWidget *widget : widgets)
        if (const QString text = TextOf(widget); AcceleratorPosition(text) >= 0)
            WithAccelerator(text, taken);
    for (QWidget *widget : widgets)
        if (const QString text = TextOf(widget); AcceleratorPosition(text) < 0)
            SetTextOf(widget, WithAccelerator(text, taken));
}
