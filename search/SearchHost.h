#pragma once
// The engine's only way to reach the program that runs it: the desktop window,
// the command line or a test. Long loops report through it and poll it, so the
// engine never needs a widget.

#include <QString>

class SearchHost {
public:
    virtual ~SearchHost() = default;

    // The scrolling status lines of a run.
    virtual void AddStatusLine(const QString &) {}
    virtual int StatusLineCount() const { return 0; }
    virtual void SetStatusLine(int, const QString &) {}
    virtual void ClearStatusLines() {}

    virtual void SetProgress(int /*position*/, int /*maximum*/) {}
    virtual void SetTitle(const QString &) {}

    // Lets the user's stop, pause and continue reach RunState.
    virtual void ProcessMessages() {}
    // True once the program is closing; a run then ends without a result.
    virtual bool Terminating() const { return false; }
    virtual void Sleep(int ms);

    // Pixel width of a result row's text in the list's font.
    virtual int TextWidth(const QString &text) const { return int(text.size()) * 7; }

    virtual void ShowInfo(const QString &) {}
    virtual void ShowError(const QString &) {}
    // Confirmation with Yes and Cancel; anything but Yes is false.
    virtual bool AskYesCancel(const QString &) { return false; }
};

// The host in charge; a silent one when none was installed.
SearchHost &Host();
// Installs a host (nullptr restores the silent one). The caller keeps ownership.
void SetHost(SearchHost *host);

// Shortcuts for the calls the loops make most.
void ShowStatus(const QString &text);
void ProcessMessages();
bool Terminating();
