#include "cli/CliHost.h"

#include "cli/CliPhrases.h"
#include "platform/Leftovers.h"
#include "platform/MutedStandardError.h"
#include "search/FileSearchUnit.h"
#include "search/MainPhrases.h"

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t InterruptCount = 0;
bool QuietMessages = false;

void OnEndingSignal(int signal) {
    Platform::EndBySignal(signal);
}

// The first Ctrl+C stops the run like the cancel button; a second one ends
// the program at once.
void OnInterrupt(int signal) {
    InterruptCount = InterruptCount + 1;
    if (InterruptCount > 1)
        Platform::EndBySignal(signal);
}

void Handle(int signal, void (*handler)(int)) {
    // A signal ignored from the start (nohup, a job started in the background)
    // stays ignored.
    struct sigaction before {};
    if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN)
        return;
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // A FIFO being opened for the result keeps waiting for its reader.
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

void OnQtMessage(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type != QtFatalMsg && (QuietMessages || type != QtCriticalMsg))
        return;
    PrintError(QStringLiteral("dupliscan-cli: ") +
               QString(message).replace(QLatin1Char('\n'), QLatin1Char(' ')));
}

void WriteError(const QByteArray &bytes) {
    Platform::WriteStandardError(bytes.constData(), bytes.size());
}
} // namespace

void PrintError(const QString &text) {
    WriteError(text.toUtf8() + '\n');
}

void RouteQtMessages(bool quiet) {
    QuietMessages = quiet;
    qInstallMessageHandler(OnQtMessage);
}

CliHost::CliHost(bool showProgress, bool assumeYes, bool quiet)
    : ShowProgress(showProgress), AssumeYes(assumeYes), Quiet(quiet) {
    Handle(SIGINT, OnInterrupt);
    Handle(SIGTERM, OnEndingSignal);
    Handle(SIGHUP, OnEndingSignal);
    SinceDrawn.start();
}

CliHost::~CliHost() {
    ClearProgress();
    // Without a run to stop, Ctrl+C ends the program; the engine's files still go.
    Handle(SIGINT, OnEndingSignal);
}

bool CliHost::Interrupted() {
    return InterruptCount > 0;
}

void CliHost::AddStatusLine(const QString &) {
    ++Lines;
}

void CliHost::SetStatusLine(int index, const QString &) {
    if (index >= Lines)
        Lines = index + 1;
}

void CliHost::SetProgress(int position, int maximum) {
    Position = position;
    Maximum = maximum;
    Comparing = true;
}

void CliHost::ProcessMessages() {
    if (InterruptCount > 0 && RunState() != RunStateValue::StopRequested &&
        RunState() != RunStateValue::Finished)
        SetRunState(RunStateValue::StopRequested);
    DrawProgress(false);
}

void CliHost::DrawProgress(bool force) {
    // Reading the clock on every poll would cost more than the poll itself.
    if (!ShowProgress || (!force && (++Polls % 64 != 0 || SinceDrawn.elapsed() < 100)))
        return;
    SinceDrawn.restart();
    QString line;
    if (Comparing && Maximum > 0)
        line = GetPhrase(MainFormPhrases(), 6) +
               QStringLiteral(": %1%").arg(qint64(Position) * 100 / Maximum);
    else
        line = CliPhraseParam(PhraseFilesScanned, QString::number(FileTable().size()));
    WriteError("\r\033[K" + line.toUtf8());
    Drawn = true;
}

void CliHost::ClearProgress() {
    if (Drawn)
        WriteError("\r\033[K");
    Drawn = false;
}

// Its own line, whatever a name in it holds.
void CliHost::ShowNote(const QString &text) {
    if (Quiet)
        return;
    ClearProgress();
    PrintError(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
}

void CliHost::ShowInfo(const QString &text) {
    if (Quiet)
        return;
    ClearProgress();
    PrintError(text);
}

void CliHost::ShowError(const QString &text) {
    ClearProgress();
    PrintError(text);
}

bool CliHost::AskYesCancel(const QString &text) {
    ClearProgress();
    if (AssumeYes) {
        if (!Quiet)
            PrintError(text.trimmed() + QLatin1Char(' ') + CliPhrase(PhraseContinuingYes));
        return true;
    }
    // Without a terminal the caller reports the question as its one error line.
    if (!isatty(STDIN_FILENO)) {
        UnansweredQuestion = text.trimmed();
        return false;
    }
    PrintError(text.trimmed());
    WriteError("[y/N] ");
    char answer[16] = {};
    if (!std::fgets(answer, sizeof answer, stdin))
        return false;
    return answer[0] == 'y' || answer[0] == 'Y' || answer[0] == 'j' || answer[0] == 'J';
}
