#pragma once
// The translated standard message boxes. Whatever shows them (the window's
// dialogs, the command line, a test) answers through one handler.

#include <QString>
#include <functional>

enum class TMsgDlgType { Warning, Error, Information, Confirmation, Custom };

// Button set bits.
enum TMsgDlgBtn : int {
    mbYes = 1,
    mbNo = 2,
    mbOK = 4,
    mbCancel = 8,
};

enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrYes = 6,
    mrNo = 7,
};

// The text arrives translated; the handler translates the caption and buttons.
using TMessageBoxHandler = std::function<int(const QString &text, TMsgDlgType type, int buttons)>;
// nullptr restores the default, which asks the engine's host.
void SetMessageBoxHandler(TMessageBoxHandler handler);

int ShowMessageBox(const QString &text, TMsgDlgType type, int buttons);
int ShowInfo(const QString &text);
int ShowError(const QString &text);
int AskYesNo(const QString &text);
int AskYesCancel(const QString &text);

// A path as a message shows it: control characters visible as such, and a
// path of thousands of characters shortened in its middle.
QString PathForMessage(const QString &path);

// German captions of the boxes and their buttons, translated where shown.
QString MessageBoxCaption(TMsgDlgType type);
QString MessageBoxButtonText(TMsgDlgBtn button);
