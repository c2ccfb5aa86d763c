#include "lang/MsgDlgUnit.h"

#include "run/RunControl.h"

namespace {
TMessageBoxHandler &Handler() {
    static TMessageBoxHandler handler;
    return handler;
}

// Without a window the host answers: information and errors are reported,
// a confirmation is a question that anything but Yes declines.
int AskHost(const QString &text, TMsgDlgType type, int buttons) {
    switch (type) {
    case TMsgDlgType::Confirmation:
        if (buttons & mbYes) {
            if (Host().AskYesCancel(text))
                return mrYes;
            return (buttons & mbCancel) ? mrCancel : mrNo;
        }
        Host().ShowInfo(text);
        return mrOk;
    case TMsgDlgType::Error:
    case TMsgDlgType::Warning:
        Host().ShowError(text);
        return (buttons & mbOK) ? mrOk : mrCancel;
    default:
        Host().ShowInfo(text);
        return mrOk;
    }
}
} // namespace

void SetMessageBoxHandler(TMessageBoxHandler handler) {
    Handler() = std::move(handler);
}

int ShowMessageBox(const QString &text, TMsgDlgType type, int buttons) {
    if (Handler())
        return Handler()(text, type, buttons);
    return AskHost(text, type, buttons);
}

int ShowInfo(const QString &text) {
    return ShowMessageBox(text, TMsgDlgType::Information, mbOK);
}

int ShowError(const QString &text) {
    return ShowMessageBox(text, TMsgDlgType::Error, mbOK);
}

int AskYesNo(const QString &text) {
    return ShowMessageBox(text, TMsgDlgType::Confirmation, mbYes | mbNo);
}

int AskYesCancel(const QString &text) {
    return ShowMessageBox(text, TMsgDlgType::Confirmation, mbYes | mbCancel);
}

QString PathForMessage(const QString &path) {
    constexpr qsizetype Longest = 260;
    QString shown = path;
    for (QChar &c : shown)
        if (c.unicode() < 32 || c.unicode() == 127)
            c = QChar(0xFFFD);
    if (shown.size() > Longest)
        shown = shown.left(Longest / 2) + QStringLiteral(" … ") + shown.right(Longest / 2);
    return shown;
}

QString MessageBoxCaption(TMsgDlgType type) {
    switch (type) {
    case TMsgDlgType::Warning:
        return QStringLiteral("Warnung");
    case TMsgDlgType::Error:
        return QStringLiteral("Fehler");
    case TMsgDlgType::Information:
        return QStringLiteral("Information");
    case TMsgDlgType::Confirmation:
        return QStringLiteral("Bestätigen");
    case TMsgDlgType::Custom:
        break;
    }
    return QStringLiteral("Dupliscan");
}

QString MessageBoxButtonText(TMsgDlgBtn button) {
    switch (button) {
    case mbYes:
        return QStringLiteral("&Ja");
    case mbNo:
        return QStringLiteral("&Nein");
    case mbOK:
        return QStringLiteral("OK");
    case mbCancel:
        return QStringLiteral("Abbrechen");
    }
    return {};
}
