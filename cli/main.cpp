// dupliscan-cli: one search with the engine, the match list on standard output.

#include "cli/CliHost.h"
#include "cli/CliLanguage.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "cli/CliPhrases.h"
#include "platform/Platform.h"
#include "results/Engine.h"
#include "search/ContentCache.h"
#include "search/MainPhrases.h"
#include "search/SearchRequest.h"

#include <QCoreApplication>
#include <cstdio>
#include <unistd.h>

namespace {
enum ExitCode { Success = 0, CannotRun = 1, BadUsage = 2, Interrupted = 130 };

int Fail(int code, const QString &message) {
    PrintError(QStringLiteral("dupliscan-cli: ") +
               QString(message).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    return code;
}

QString Phrase(int id) {
    return GetPhrase(MainFormPhrases(), id);
}

QString FolderProblemText(const SearchResult &result, const CliArguments &a) {
    const QString digit = QString::number(result.ProblemFolder);
    const QString path = result.ProblemFolder == 2 ? a.Request.Folder2 : a.Request.Folder1;
    switch (result.Folder) {
    case BaseFolderProblem::Missing:
        return GetPhraseParam(MainFormPhrases(), 13, digit) + QLatin1Char(' ') + path;
    case BaseFolderProblem::NotAFolder:
        return CliPhraseParam(PhraseIsAFile, path);
    case BaseFolderProblem::Unreadable:
        return CliPhraseParam(PhraseFolderUnreadable, path);
    case BaseFolderProblem::NotSearchable:
        return CliPhraseParam(PhraseFolderNotSearchable, path);
    case BaseFolderProblem::NoFolder:
        return Phrase(14);
    case BaseFolderProblem::None:
        break;
    }
    return {};
}

// The one error line and exit status of a search that did not run.
int Refused(const SearchResult &result, const CliArguments &a, const CliHost &host) {
    switch (result.Options) {
    case OptionProblem::NoMethod:
        return Fail(BadUsage, Phrase(40));
    case OptionProblem::PixelHundred:
        return Fail(BadUsage, Phrase(39));
    case OptionProblem::TwoFoldersNeeded:
        return Fail(CannotRun, CliPhrase(PhraseTwoBaseFoldersNeeded));
    case OptionProblem::None:
        break;
    }
    switch (result.CertainFile) {
    case CertainFileProblem::Empty:
    case CertainFileProblem::InvalidCharacters:
        return Fail(BadUsage, Phrase(CertainFileProblemPhrase(result.CertainFile)));
    case CertainFileProblem::Missing:
    case CertainFileProblem::Folder:
    case CertainFileProblem::Link:
    case CertainFileProblem::NotAFile:
        return Fail(CannotRun, Phrase(CertainFileProblemPhrase(result.CertainFile)) +
                                   QLatin1Char(' ') + a.Request.Options.CertainFile);
    case CertainFileProblem::None:
        break;
    }
    if (result.Folder != BaseFolderProblem::None)
        return Fail(CannotRun, FolderProblemText(result, a));
    // A question nobody could answer, or one the user declined.
    if (!host.Unanswered().isEmpty())
        return Fail(CannotRun, host.Unanswered() + QLatin1Char(' ') + CliPhrase(PhraseNoAnswer));
    return Fail(CannotRun, Phrase(18));
}

int RemoveCache() {
    const QString folder = CacheFolder();
    if (folder.isEmpty())
        return Success;
    switch (ClearCache(folder)) {
    case CacheClearing::Cleared:
        return Success;
    case CacheClearing::InUse:
        return Fail(CannotRun, CliPhraseParam(PhraseCacheInUse, folder));
    case CacheClearing::Failed:
        break;
    }
    return Fail(CannotRun, CliPhraseParam(PhraseCacheNotRemoved, folder));
}

int Run(int argc, char **argv) {
    QStringList arguments;
    for (int k = 1; k < argc; ++k)
        arguments.append(Platform::DecodeName(QByteArray(argv[k])));

    QString error;
    // The lines are kept as read, so that the table can also be written back.
    if (!SetupCliLanguage(LanguageArgument(arguments), true, error))
        return Fail(BadUsage, error);
    const std::optional<CliArguments> parsed = ParseArguments(arguments, error);
    if (!parsed)
        return Fail(BadUsage, error);
    CliArguments a = *parsed;
    if (!a.SavePhrasesFile.isEmpty()) {
        if (!SaveCliPhrases(a.SavePhrasesFile, a.SaveNewPhrasesOnly, error))
            return Fail(CannotRun, error);
        if (!a.Quiet)
            PrintError(CliPhraseParam(PhrasePhrasesSaved, a.SavePhrasesFile));
        return Success;
    }
    if (a.ShowHelp) {
        std::fputs(UsageText().toUtf8().constData(), stdout);
        return Success;
    }
    if (a.ShowVersion) {
        std::printf("dupliscan-cli %s\n", DUPLISCAN_VERSION);
        return Success;
    }
    if (a.ClearCache)
        return RemoveCache();

    RouteQtMessages(a.Quiet);
    const bool progress = !a.Quiet && isatty(STDERR_FILENO);
    CliHost host(progress, a.AssumeYes, a.Quiet);
    SetHost(&host);
    const QString outputFile = OutputFileName(a);
    if (!CheckOutput(outputFile, error))
        return Fail(CannotRun, error);
    a.Request.Excluded = OutputFiles(outputFile);
    if (a.UseCache)
        a.Request.CacheFolder = CacheFolder();
    const SearchResult result = RunSearch(a.Request);
    host.ClearProgress();
    if (!result.Ran())
        return Refused(result, a, host);
    const RunOutcome outcome = result.Outcome;
    const int matches = result.Matches;
    // The error is on stderr already; an incomplete result is not written.
    if (outcome == RunOutcome::Failed)
        return CannotRun;

    int leftOut = 0;
    if (!WriteResult(a, outcome, matches, leftOut, error))
        return Fail(CannotRun, error);
    // Said even with --quiet: the file lacks part of the result.
    if (leftOut > 0)
        PrintError(QStringLiteral("dupliscan-cli: ") +
                   CliPhraseParam(PhraseSheetFull, QString::number(leftOut)));
    return CliHost::Interrupted() ? Interrupted : Success;
}
} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int code = Run(argc, argv);
    SetHost(nullptr);
    CloseEngine();
    return code;
}
