#pragma once
// The main window as the engine's host: status lines into the run's status
// memo and busy picture, the progress bar and title, events let through while
// the run goes on, and the program's message boxes.

#include "run/RunControl.h"

#include <QElapsedTimer>
#include <QFont>
#include <QFontMetrics>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <vector>

class BusyPicture;
class QPlainTextEdit;
class QProgressBar;
class QWidget;

class GuiHost : public SearchHost {
public:
    GuiHost(QWidget *window, BusyPicture *busy, QPlainTextEdit *memo, QProgressBar *progress);

    void AddStatusLine(const QString &text) override;
    int StatusLineCount() const override { return int(MemoLines.size()); }
    void SetStatusLine(int index, const QString &text) override;
    void ClearStatusLines() override;
    void ShowStatus(const QString &text) override;

    void SetProgress(int position, int maximum) override;
    void SetTitle(const QString &text) override;

    void ProcessMessages() override;
    bool Terminating() const override { return IsTerminating; }

    void RunStarting() override;

    int TextWidth(const QString &text) const override;

    void ShowNote(const QString &text) override;
    void ShowInfo(const QString &text) override;
    void ShowError(const QString &text) override;
    bool AskYesCancel(const QString &text) override;

    // Set when the window is closed during a run; the run ends at its next poll.
    void SetTerminating(bool terminating) { IsTerminating = terminating; }
    // What the window does when the checks have passed (run mode).
    void SetRunStartingHandler(std::function<void()> handler) {
        OnRunStarting = std::move(handler);
    }
    // How the result list measures a row's text, for the width of the widest row.
    void SetTextWidth(std::function<int(const QString &)> measure) {
        MeasureText = std::move(measure);
    }
    // The shortest time between two rounds of events during a run. The loops
    // poll far more often than a person can notice; tests set 0 to let every
    // poll through.
    void SetEventInterval(int ms) { EventIntervalMs = ms; }
    // Puts what the run reported since the last round of events on screen.
    void Flush();

private:
    QPointer<QWidget> Window;
    QPointer<BusyPicture> Busy;
    QPointer<QPlainTextEdit> Memo;
    QPointer<QProgressBar> Progress;
    std::function<void()> OnRunStarting;
    std::function<int(const QString &)> MeasureText;

    QStringList MemoLines;
    bool MemoChanged = false;
    int ProgressPosition = 0;
    int ProgressMaximum = 1;
    bool ProgressChanged = false;
    QString Title;
    bool TitleChanged = false;

    bool IsTerminating = false;
    bool InMessageBox = false;
    int EventIntervalMs = 15;
    QElapsedTimer SinceEvents;
};
