#pragma once
// The engine's only way to reach the program that runs it (the desktop window,
// the command line or a test), and the run state that the window's buttons
// write and every long loop polls. Depends on nothing but Qt Core, so every
// layer above can report and stop through it.

#include <QString>
#include <QtGlobal>

// Where a run stands. The buttons only write it; the loops read it right after
// they let pending events through.
enum class RunStateValue : quint8 {
    Idle = 0,
    StopRequested = 1,
    Finished = 2,
    Running = 3,
    Paused = 4,
};

class SearchHost {
public:
    virtual ~SearchHost() = default;

    // The lines that say where a run stands and what it found (the window's
    // status memo); SetStatusLine rewrites a line in place as a count grows.
    virtual void AddStatusLine(const QString &) {}
    virtual int StatusLineCount() const { return 0; }
    virtual void SetStatusLine(int, const QString &) {}
    virtual void ClearStatusLines() {}
    // The folder or file being worked on right now: many lines a second that
    // a window scrolls past and forgets. A host without such a place keeps
    // them with the other status lines.
    virtual void ShowStatus(const QString &text) { AddStatusLine(text); }

    virtual void SetProgress(int /*position*/, int /*maximum*/) {}
    virtual void SetTitle(const QString &) {}

    // Lets the user's stop, pause and continue reach the run state.
    virtual void ProcessMessages() {}
    // True once the program is closing; a run then ends without a result.
    virtual bool Terminating() const { return false; }
    virtual void Sleep(int ms);

    // The search passed its checks and is about to scan: a window switches
    // into run mode here.
    virtual void RunStarting() {}

    // Pixel width of a result row's text in the list's font.
    virtual int TextWidth(const QString &text) const { return int(text.size()) * 7; }

    // A line the user should learn of without being asked anything, even
    // where the other status lines go unseen (a folder that could not be
    // searched, a file left out because it changed): among the status lines unless the
    // host has a better place (the command line's standard error).
    virtual void ShowNote(const QString &text) { AddStatusLine(text); }
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

RunStateValue RunState();
void SetRunState(RunStateValue state);
// True when a stop was requested or the program is closing.
bool StopOrTerminate();
// While paused: sleeps 50 ms at a time and lets events through, until the run
// goes on, is stopped or the program closes. False when the caller must end
// its loop (stopped or closing).
bool WaitWhilePaused();

// Back to a silent host and an idle run (tests).
void ResetRunControl();
