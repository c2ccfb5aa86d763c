// dupliscan-cli: one search with the engine, the match list on standard output.

#include "cli/CliHost.h"
#include "cli/CliLanguage.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "cli/CliPhrases.h"
#include "compare/FilterUnit.h"
#include "platform/Platform.h"
#include "search/CompareDriver.h"
#include "search/MainPhrases.h"
#include "search/SearchRun.h"

#include <QCoreApplication>
#include <QFile>
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

QString FolderProblemText(SettleProblem problem, const CliArguments &a) {
    const bool first = problem == SettleProblem::Missing1 ||
                       problem == SettleProblem::NotAFolder1 ||
                       problem == SettleProblem::Unreadable1;
    const QString digit = first ? QStringLiteral("1") : QStringLiteral("2");
    const QString path = first ? a.Folder1 : a.Folder2;
    switch (problem) {
    case SettleProblem::Missing1:
    case SettleProblem::Missing2:
        return GetPhraseParam(MainFormPhrases(), 13, digit) + QLatin1Char(' ') + path;
    case SettleProblem::NotAFolder1:
    case SettleProblem::NotAFolder2:
        return CliPhraseParam(PhraseIsAFile, path);
    case SettleProblem::Unreadable1:
    case SettleProblem::Unreadable2:
        return CliPhraseParam(PhraseFolderUnreadable, path);
    case SettleProblem::NoFolder:
        return Phrase(14);
    case SettleProblem::NestedCancelled:
        return Phrase(18);
    case SettleProblem::None:
        break;
    }
    return {};
}

// A certain file given with a folder is looked up as a full path, with the
// folder's links resolved like the base folders'.
QString ResolveCertainFile(const QString &typed) {
    const QString absolute = Platform::AbsolutePath(typed);
    const bool hasFolder = typed.contains(Platform::PathDelimiter());
    if (!hasFolder && !Platform::StatPath(absolute, false).Exists)
        return typed;
    const qsizetype slash = absolute.lastIndexOf(Platform::PathDelimiter());
    const QString folder = Platform::CanonicalPath(absolute.left(slash + 1));
    return folder.isEmpty() ? absolute
                            : Platform::WithTrailingDelimiter(folder) + absolute.mid(slash + 1);
}

// Finds out before a long search whether the result can be written at all.
bool OutputWritable(const QString &fileName, QString &error) {
    if (fileName.isEmpty())
        return true;
    const bool existed = Platform::StatPath(fileName, false).Exists;
    QFile file;
    QString reason;
    if (!OpenOutputFile(file, fileName, false, reason)) {
        error = CliPhraseParam(PhraseCannotWrite, fileName) + QStringLiteral(": ") + reason;
        return false;
    }
    file.close();
    if (!existed)
        ::unlink(Platform::EncodeName(fileName).constData());
    return true;
}

void ApplyFilter(const CliArguments &a) {
    ResetFilter();
    SetFilterLists(a.Include, a.Exclude, a.Never);
    Filter().MinSizeKB = a.MinSizeKB;
    Filter().MaxSizeKB = a.MaxSizeKB;
}
} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
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

    ApplyFilter(a);
    SearchOptions &o = Context().Options;
    o = a.Options;
    if (!o.CompareContents && !o.CompareNames)
        return Fail(BadUsage, Phrase(40));
    if (o.ImageMode && o.ContentPercent > 99)
        return Fail(BadUsage, Phrase(39));
    if (o.ImageMode) {
        Filter().ImageMode = true;
        SetImagePreset();
    }
    if (!o.CertainFile.isEmpty()) {
        const int refused = ValidateCertainFile(o.CertainFile, o.CompareContents, o.DifferentExts);
        if (refused != 0)
            return Fail(BadUsage, Phrase(refused));
        o.CertainFile = ResolveCertainFile(o.CertainFile);
        if (o.CompareContents && (!o.CertainFile.contains(Platform::PathDelimiter()) ||
                                  !Platform::StatPath(o.CertainFile, false).IsFile))
            return Fail(CannotRun, Phrase(45) + QLatin1Char(' ') + a.Options.CertainFile);
    }

    const bool progress = !a.Quiet && isatty(STDERR_FILENO);
    CliHost host(progress, a.AssumeYes, a.Quiet);
    SetHost(&host);

    BaseFolders folders{a.Folder1, a.Folder2};
    const SettleProblem problem = SettleBaseFolders(folders, a.IncludeSubfolders);
    const QString noAnswer = QLatin1Char(' ') + CliPhrase(PhraseNoAnswer);
    if (problem != SettleProblem::None)
        return Fail(CannotRun, host.Unanswered().isEmpty() ? FolderProblemText(problem, a)
                                                           : host.Unanswered() + noAnswer);
    const QString warning =
        CheckSystemPaths(Context().BaseFolderUpper1, Context().BaseFolderUpper2);
    if (!warning.isEmpty() && !host.AskYesCancel(warning + Phrase(31)))
        return Fail(CannotRun,
                    host.Unanswered().isEmpty() ? Phrase(18) : host.Unanswered() + noAnswer);
    if (!OutputWritable(a.OutputFile, error))
        return Fail(CannotRun, error);

    BeginRun(folders);
    ScanBaseFolders(folders);
    PlaceCertainFile();
    FinishScan();
    quint8 outcome = Completed;
    const int matches = CompareScannedFiles(outcome, a.IncludeHundred);
    EndRun(outcome);
    host.ClearProgress();

    if (!WriteResult(a, outcome, matches, error))
        return Fail(CannotRun, error);
    SetHost(nullptr);
    return CliHost::Interrupted() ? Interrupted : Success;
}
