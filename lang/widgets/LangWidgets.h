#pragma once
// The phrase system on Qt widgets: whole windows translated, the language
// menu, and the message boxes. Only the desktop program links this.

#include "lang/MsgDlgUnit.h"

#include <QString>
#include <functional>

class QAction;
class QMenu;
class QObject;
class QWidget;
class tMLSystem;

// Captions, texts and hints of the component and everything it holds,
// translated from one language into another.
void TranslateComponent(QObject *component, const QString &from, const QString &to);
// From the source language into the language shown now.
void TranslateForm(QWidget *form);
// Qt's fonts carry every script, so a character set needs no change of font;
// kept so that the windows read the way the language switch describes them.
void ApplyCharset(QWidget *control, quint8 charset);

// One item per language of the table, sorted by name; the item's data is the
// language index.
void BuildLanguageMenu(const tMLSystem *table, QMenu *parent, bool includeSource,
                       const std::function<void(QAction *)> &handler);

// The translated message box shown with QMessageBox.
int WidgetMessageBox(const QString &text, TMsgDlgType type, int buttons);

// Lets a language switch translate every window, and message boxes appear
// as dialogs. Called once by the desktop program.
void InstallWidgetLanguageSupport();
