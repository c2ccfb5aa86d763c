#pragma once
// The command line as the engine's host: progress on standard error, Ctrl+C as
// the cancel button, questions answered by --yes or at the terminal. A second
// Ctrl+C, SIGTERM or SIGHUP end the program at once, its temporary files removed.

#include "run/RunControl.h"

#include <QElapsedTimer>

class CliHost : public SearchHost {
public:
    CliHost(bool showProgress, bool assumeYes, bool quiet);
    ~CliHost() override;

    void AddStatusLine(const QString &text) override;
    int StatusLineCount() const override { return Lines; }
    void SetStatusLine(int index, const QString &text) override;
    void SetProgress(int position, int maximum) override;
    void ProcessMessages() override;
    void ShowNote(const QString &text) override;
    void ShowInfo(const QString &text) override;
    void ShowError(const QString &text) override;
    bool AskYesCancel(const QString &text) override;

    // The question left unanswered because nobody could answer it; empty when
    // every question got an answer.
    QString Unanswered() const { return UnansweredQuestion; }

    // Ctrl+C was pressed during the run.
    static bool Interrupted();
    void ClearProgress();

private:
    void DrawProgress(bool force);

    bool ShowProgress;
    bool AssumeYes;
    bool Quiet;
    int Lines = 0;
    int Position = 0;
    int Maximum = 0;
    bool Comparing = false;
    bool Drawn = false;
    unsigned Polls = 0;
    QElapsedTimer SinceDrawn;
    QString UnansweredQuestion;
};

// One line on standard error.
void PrintError(const QString &text);

// Qt's own messages go through the program: nothing with quiet, otherwise
// only Qt's errors, each as one line. Warnings (the image decoders' "Corrupt
// JPEG data", "libpng error") concern pictures the search passes over anyway.
void RouteQtMessages(bool quiet);
