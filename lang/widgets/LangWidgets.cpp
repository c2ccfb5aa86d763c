#include "lang/widgets/LangWidgets.h"

#include "lang/MultiLingua.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTabWidget>

namespace {
// Check boxes and radio buttons need room for the box beside their text.
constexpr int CheckMarkRoom = 22;

class Translator {
public:
    Translator(const QString &from, const QString &to) : From(from), To(to) {}

    void Action(QAction *action) {
        if (!action || Done.contains(action))
            return;
        Done.insert(action);
        if (!action->statusTip().isEmpty())
            action->setStatusTip(TranslateHint(action->statusTip(), From, To));
        // A submenu's item text is the menu's title, translated once with the menu.
        if (QMenu *menu = action->menu())
            Widget(menu);
        else if (!action->isSeparator())
            action->setText(Translate(action->text(), From, To));
    }

    void Widget(QWidget *widget) {
        if (!widget || Done.contains(widget))
            return;
        Done.insert(widget);
        if (widget->isWindow() && !widget->windowTitle().isEmpty())
            widget->setWindowTitle(Translate(widget->windowTitle(), From, To));
        if (!widget->toolTip().isEmpty())
            widget->setToolTip(TranslateHint(widget->toolTip(), From, To));

        if (auto *menu = qobject_cast<QMenu *>(widget)) {
            Done.insert(menu->menuAction());
            menu->setTitle(Translate(menu->title(), From, To));
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget))
            Button(button);
        else if (auto *label = qobject_cast<QLabel *>(widget))
            label->setText(Translate(label->text(), From, To));
        else if (auto *group = qobject_cast<QGroupBox *>(widget))
            group->setTitle(Translate(group->title(), From, To));
        else if (auto *edit = qobject_cast<QLineEdit *>(widget))
            // What the user typed is not translated, only the grey prompt.
            edit->setPlaceholderText(Translate(edit->placeholderText(), From, To));
        else if (auto *tabs = qobject_cast<QTabWidget *>(widget))
            for (int k = 0; k < tabs->count(); ++k)
                tabs->setTabText(k, Translate(tabs->tabText(k), From, To));

        for (QAction *action : widget->actions())
            Action(action);
        for (QObject *child : widget->children()) {
            if (auto *action = qobject_cast<QAction *>(child))
                Action(action);
            else if (auto *childWidget = qobject_cast<QWidget *>(child))
                Widget(childWidget);
        }
    }

private:
    void Button(QAbstractButton *button) {
        button->setText(Translate(button->text(), From, To));
        if (!qobject_cast<QCheckBox *>(button) && !qobject_cast<QRadioButton *>(button))
            return;
        // Widened to the new text, never narrowed.
        const int needed = button->fontMetrics().horizontalAdvance(button->text()) + CheckMarkRoom;
        if (button->width() < needed) {
            button->setMinimumWidth(needed);
            button->resize(needed, button->height());
        }
    }

    QString From;
    QString To;
    QSet<QObject *> Done;
};

QMessageBox::Icon IconOf(TMsgDlgType type) {
    switch (type) {
    case TMsgDlgType::Warning:
        return QMessageBox::Warning;
    case TMsgDlgType::Error:
        return QMessageBox::Critical;
    case TMsgDlgType::Information:
        return QMessageBox::Information;
    case TMsgDlgType::Confirmation:
        return QMessageBox::Question;
    case TMsgDlgType::Custom:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

void TranslateComponent(QObject *component, const QString &from, const QString &to) {
    if (!component || PhraseTable()->Groups.empty() || from == to)
        return;
    Translator translator(from, to);
    if (auto *widget = qobject_cast<QWidget *>(component))
        translator.Widget(widget);
    else if (auto *action = qobject_cast<QAction *>(component))
        translator.Action(action);
}

void TranslateForm(QWidget *form) {
    TranslateComponent(form, PhraseTable()->SourceCode, PhraseTable()->CurrentCode);
    if (CurrentCharset() != 0)
        ApplyCharset(form, CurrentCharset());
}

void ApplyCharset(QWidget *, quint8) {}

void BuildLanguageMenu(const tMLSystem *table, QMenu *parent, bool includeSource,
                       const std::function<void(QAction *)> &handler) {
    if (!parent)
        return;
    parent->clear();
    for (const LanguageMenuEntry &entry : LanguageMenuEntries(table, includeSource)) {
        QAction *action = parent->addAction(entry.Caption);
        action->setData(entry.Index);
        if (handler)
            QObject::connect(action, &QAction::triggered, action,
                             [handler, action] { handler(action); });
    }
}

int WidgetMessageBox(const QString &text, TMsgDlgType kind, int buttons) {
    QMessageBox box(IconOf(kind), TranslateText(MessageBoxCaption(kind)), text,
                    QMessageBox::NoButton, QApplication::activeWindow());
    struct Choice {
        TMsgDlgBtn Button;
        QMessageBox::ButtonRole Role;
        int Result;
    };
    const Choice choices[] = {{mbYes, QMessageBox::YesRole, mrYes},
                              {mbNo, QMessageBox::NoRole, mrNo},
                              {mbOK, QMessageBox::AcceptRole, mrOk},
                              {mbCancel, QMessageBox::RejectRole, mrCancel}};
    QList<QPair<QAbstractButton *, int>> results;
    for (const Choice &choice : choices) {
        if (!(buttons & choice.Button))
            continue;
        QPushButton *button =
            box.addButton(TranslateText(MessageBoxButtonText(choice.Button)), choice.Role);
        results.append({button, choice.Result});
        if (choice.Button == mbCancel || (choice.Button == mbNo && !(buttons & mbCancel)))
            box.setEscapeButton(button);
    }
    box.exec();
    for (const auto &[button, result] : results)
        if (box.clickedButton() == button)
            return result;
    // Closed without a button: the box's way out, never a Yes.
    if (!(buttons & mbCancel) && (buttons & mbNo))
        return mrNo;
    return mrCancel;
}

void InstallWidgetLanguageSupport() {
    SetFormTranslationHook([](const QString &from, const QString &to) {
        if (PhraseTable()->Groups.empty() || from == to)
            return;
        // One pass over all windows: a popup menu is a window of its own and
        // also part of its menu bar, and must be translated only once.
        Translator translator(from, to);
        for (QWidget *window : QApplication::topLevelWidgets())
            translator.Widget(window);
    });
    SetCharsetHook([](quint8 charset) {
        for (QWidget *window : QApplication::topLevelWidgets())
            ApplyCharset(window, charset);
    });
    SetMessageBoxHandler(WidgetMessageBox);
}
