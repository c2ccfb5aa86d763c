#include "gui/GuiHost.h"

#include "gui/BusyPicture.h"
#include "lang/MsgDlgUnit.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QWidget>

GuiHost::GuiHost(QWidget *window, BusyPicture *busy, QPlainTextEdit *memo, QProgressBar *progress)
    : Window(window), Busy(busy), Memo(memo), Progress(progress) {}

void GuiHost::AddStatusLine(const QString &text) {
    MemoLines.append(text);
    MemoChanged = true;
    // A new status line starts a new stage of the run (a base folder, the
    // compare, its end): the busy picture starts afresh with it.
    if (Busy)
        Busy->Clear();
}

void GuiHost::SetStatusLine(int index, const QString &text) {
    if (index < 0)
        return;
    while (MemoLines.size() <= index)
        MemoLines.append(QString());
    MemoLines[index] = text;
    MemoChanged = true;
}

void GuiHost::ClearStatusLines() {
    MemoLines.clear();
    MemoChanged = true;
}

// A note is no new stage of the run: the busy picture goes on.
void GuiHost::ShowNote(const QString &text) {
    MemoLines.append(text);
    MemoChanged = true;
}

void GuiHost::ShowStatus(const QString &text) {
    if (Busy)
        Busy->AddLine(text);
}

void GuiHost::SetProgress(int position, int maximum) {
    ProgressPosition = position;
    ProgressMaximum = maximum;
    ProgressChanged = true;
}

void GuiHost::SetTitle(const QString &text) {
    Title = text;
    TitleChanged = true;
}

void GuiHost::Flush() {
    if (MemoChanged && Memo) {
        Memo->setPlainText(MemoLines.join(QLatin1Char('\n')));
        Memo->moveCursor(QTextCursor::End);
        Memo->ensureCursorVisible();
    }
    MemoChanged = false;
    if (ProgressChanged && Progress) {
        Progress->setMaximum(std::max(ProgressMaximum, 1));
        Progress->setValue(std::clamp(ProgressPosition, 0, Progress->maximum()));
    }
    ProgressChanged = false;
    if (TitleChanged && Window)
        Window->setWindowTitle(Title);
    TitleChanged = false;
}

void GuiHost::ProcessMessages() {
    // Reading the clock costs nanoseconds; a round of events with painting
    // costs far more, and the loops poll thousands of times a second.
    if (SinceEvents.isValid() && SinceEvents.elapsed() < EventIntervalMs)
        return;
    Flush();
    QCoreApplication::processEvents();
    SinceEvents.start();
}

void GuiHost::RunStarting() {
    MemoLines.clear();
    MemoChanged = true;
    SetProgress(0, 1);
    // The first poll of a run lets the events through at once.
    SinceEvents.invalidate();
    if (OnRunStarting)
        OnRunStarting();
    Flush();
}

int GuiHost::TextWidth(const QString &text) const {
    return MeasureText ? MeasureText(text) : SearchHost::TextWidth(text);
}

// The boxes go through the program's one message-box routine. Without a
// window routine installed that routine asks the host again; the guard turns
// that into no box instead of endless asking.
void GuiHost::ShowInfo(const QString &text) {
    if (IsTerminating || InMessageBox)
        return;
    InMessageBox = true;
    ::ShowInfo(text);
    InMessageBox = false;
}

void GuiHost::ShowError(const QString &text) {
    if (IsTerminating || InMessageBox)
        return;
    InMessageBox = true;
    ::ShowError(text);
    InMessageBox = false;
}

bool GuiHost::AskYesCancel(const QString &text) {
    if (IsTerminating || InMessageBox)
        return false;
    InMessageBox = true;
    const bool yes = ::AskYesCancel(text) == mrYes;
    InMessageBox = false;
    return yes;
}
