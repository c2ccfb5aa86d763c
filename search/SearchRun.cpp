#include "search/SearchRun.h"

#include "compare/FilterUnit.h"
#include "platform/Platform.h"
#include "run/RunControl.h"
#include "search/CompareDriver.h"
#include "search/ContentCache.h"
#include "search/FileSearchUnit.h"
#include "search/MainPhrases.h"
#include "search/MatchList.h"

#include <QLocale>

namespace {
BaseFolderProblem ProblemOf(Platform::FolderProblem problem) {
    switch (problem) {
    case Platform::FolderProblem::Missing:
        return BaseFolderProblem::Missing;
    case Platform::FolderProblem::NotAFolder:
        return BaseFolderProblem::NotAFolder;
    case Platform::FolderProblem::Unreadable:
        return BaseFolderProblem::Unreadable;
    case Platform::FolderProblem::NotSearchable:
        return BaseFolderProblem::NotSearchable;
    case Platform::FolderProblem::None:
        break;
    }
    return BaseFolderProblem::None;
}

// Full path with links resolved, so that one folder reached two ways is
// recognised as one and no file is ever compared with itself.
QString RealFolder(const QString &typed) {
    const QString absolute = Platform::AbsolutePath(typed);
    const QString canonical = Platform::CanonicalPath(absolute);
    return Platform::WithTrailingDelimiter(canonical.isEmpty() ? absolute : canonical);
}

// Blanks around a typed folder are dropped, unless the exact text names a
// folder: here a folder name may well end in a blank.
QString TypedFolder(const QString &text) {
    const QString trimmed = text.trimmed();
    if (trimmed != text && !trimmed.isEmpty() &&
        Platform::CheckFolder(Platform::AbsolutePath(text)) == Platform::FolderProblem::None)
        return text;
    return trimmed;
}

bool IsInside(const QString &key, const QStringList &folders) {
    for (const QString &folder : folders)
        if (key.startsWith(folder) || folder.startsWith(key))
            return true;
    return false;
}

bool ContainsProgramFolder(const QString &key, const QStringList &folders) {
    for (const QString &folder : folders)
        if (folder.startsWith(key))
            return true;
    return false;
}

// What stands under the name of the certain file a content search needs.
CertainFileProblem ContentFileProblem(const QString &resolved) {
    if (!resolved.contains(Platform::PathDelimiter()))
        return CertainFileProblem::Missing;
    const Platform::FileInfo info = Platform::StatPath(resolved, false);
    if (info.IsFile)
        return CertainFileProblem::None;
    if (!info.Exists)
        return CertainFileProblem::Missing;
    if (info.IsFolder)
        return CertainFileProblem::Folder;
    return info.IsLink ? CertainFileProblem::Link : CertainFileProblem::NotAFile;
}

// The checks that need nothing but the request: the certain file's name, the
// comparison methods, the picture percentage, and the certain file itself.
SearchResult CheckRequest(SearchOptions &o, bool certainFileMode) {
    SearchResult result;
    if (!certainFileMode)
        o.CertainFile.clear();
    if (certainFileMode) {
        result.CertainFile = ValidateCertainFile(o.CertainFile, o.CompareContents, o.DifferentExts);
        if (result.CertainFile != CertainFileProblem::None)
            return result;
    }
    if (!o.CompareContents && !o.CompareNames) {
        result.Options = OptionProblem::NoMethod;
        return result;
    }
    if (!o.CertainFile.isEmpty()) {
        o.CertainFile = ResolveCertainFile(o.CertainFile);
        // Only a names search may look for the twins of a file that is not there.
        if (o.CompareContents)
            result.CertainFile = ContentFileProblem(o.CertainFile);
        if (result.CertainFile != CertainFileProblem::None)
            return result;
    }
    if (o.ImageMode && o.ContentPercent > 99)
        result.Options = OptionProblem::PixelHundred;
    return result;
}

void ApplyFilter(const SearchRequest &request) {
    ApplyFilterSettings(request.Filter);
    Filter().ImageMode = request.Options.ImageMode;
    if (request.Options.ImageMode)
        SetImagePreset();
}

// Validation passed: the options become those of the result on display.
void BeginRun(const BaseFolders &folders) {
    SearchContext &c = Context();
    SetRunState(RunStateValue::Running);
    c.LastRunOptions = c.Options;
    c.CommonBaseFolder = (folders.Folder2.isEmpty() && c.Options.CertainFile.isEmpty())
                             ? folders.Folder1
                             : QString();
}

void ScanBaseFolders(const BaseFolders &folders) {
    SearchContext &c = Context();
    ClearFileTable();
    c.ScanPrefix = GetPhrase(MainFormPhrases(), 1) + QLatin1Char(' ');
    for (const QString &folder : {folders.Folder1, folders.Folder2}) {
        if (folder.isEmpty())
            continue;
        Host().AddStatusLine(c.ScanPrefix + folder);
        Host().SetTitle(c.ScanPrefix.trimmed());
        ProcessMessages();
        ScanFolder(folder);
    }
}

// The certain file goes to position 0. When a content search names a file
// that cannot be taken, the table is emptied so that nothing is compared.
void PlaceCertainFile() {
    const SearchOptions &o = Context().Options;
    if (o.CertainFile.isEmpty())
        return;
    FileList &table = FileTable();
    for (std::size_t k = 0; k < table.size(); ++k) {
        // Letter case tells files apart where the file system does, so only the
        // folder key decides whether the certain file was scanned already.
        if (Platform::FolderKey(table[k].Text) == Platform::FolderKey(o.CertainFile)) {
            FileEntry entry = std::move(table[k]);
            table.erase(table.begin() + std::ptrdiff_t(k));
            table.insert(table.begin(), std::move(entry));
            return;
        }
    }
    if (!AddCertainFile(o.CertainFile, o.CompareContents))
        ClearFileTable();
}

// Trims the table and reports its size.
void FinishScan() {
    FileTable().shrink_to_fit();
    const QLocale locale;
    Host().AddStatusLine(
        GetPhraseParam(MainFormPhrases(), 16, locale.toString(qlonglong(FileTable().size()))) +
        QStringLiteral(" (") + SizeText(qint64(TotalSize() / 1024)) + QLatin1Char(')'));
    ProcessMessages();
}

// Sorts unless a certain file is sought, then compares. A run cancelled during
// the scan compares nothing and shows nothing: the last result would otherwise
// stay on display under the options of this run.
int CompareScannedFiles(RunOutcome &outcome, bool includeHundred) {
    if (StopOrTerminate()) {
        outcome = RunOutcome::Stopped;
        ClearMatchList();
        return 0;
    }
    if (Context().Options.CertainFile.isEmpty())
        SortFileTable();
    return RunCompare(outcome, includeHundred);
}

void EndRun(RunOutcome outcome) {
    Host().SetTitle(QStringLiteral("Dupliscan"));
    if (outcome == RunOutcome::Stopped)
        Host().AddStatusLine(GetPhrase(MainFormPhrases(), 18));
    SetRunState(RunStateValue::Finished);
}
} // namespace

SettledFolders SettleBaseFolders(BaseFolders &folders, bool includeSubfolders, bool askNested) {
    SearchContext &c = Context();
    for (;;) {
        const QString typed1 = TypedFolder(folders.Folder1);
        const QString typed2 = TypedFolder(folders.Folder2);
        for (int k = 1; k <= 2; ++k) {
            const QString &typed = k == 1 ? typed1 : typed2;
            if (typed.isEmpty())
                continue;
            const auto problem = Platform::CheckFolder(Platform::AbsolutePath(typed));
            if (problem != Platform::FolderProblem::None)
                return {ProblemOf(problem), k, false};
        }
        if (typed1.isEmpty() && !typed2.isEmpty()) {
            folders = {typed2, QString()};
            continue;
        }
        if (typed1.isEmpty())
            return {BaseFolderProblem::NoFolder, 1, false};

        folders.Folder1 = RealFolder(typed1);
        folders.Folder2 = typed2.isEmpty() ? QString() : RealFolder(typed2);
        c.BaseFolderKey1 = Platform::FolderKey(folders.Folder1);
        c.BaseFolderKey2 = Platform::FolderKey(folders.Folder2);
        if (c.BaseFolderKey1 == c.BaseFolderKey2) {
            folders.Folder2.clear();
            c.BaseFolderKey2.clear();
        }
        c.IncludeSubfolders = includeSubfolders;
        if (!includeSubfolders || folders.Folder2.isEmpty())
            return {};
        if (!askNested && (c.BaseFolderKey1.startsWith(c.BaseFolderKey2) ||
                           c.BaseFolderKey2.startsWith(c.BaseFolderKey1))) {
            folders.Folder2.clear();
            c.BaseFolderKey2.clear();
            return {};
        }

        if (c.BaseFolderKey2.startsWith(c.BaseFolderKey1)) {
            if (!ConfirmNestedFolders(QStringLiteral("1"), QStringLiteral("2")))
                return {BaseFolderProblem::None, 0, true};
            folders.Folder2.clear();
        } else if (c.BaseFolderKey1.startsWith(c.BaseFolderKey2)) {
            if (!ConfirmNestedFolders(QStringLiteral("2"), QStringLiteral("1")))
                return {BaseFolderProblem::None, 0, true};
            folders = {folders.Folder2, QString()};
        } else {
            return {};
        }
        ProcessMessages();
    }
}

QString CheckSystemPaths(const QString &folderKey1, const QString &folderKey2) {
    const SearchContext &c = Context();
    const TMLStringList &phrases = MainFormPhrases();
    const QString folders[2] = {folderKey1, folderKey2};
    const QString digits[2] = {QStringLiteral("1"), QStringLiteral("2")};
    QString warning;
    for (int k = 0; k < 2; ++k)
        if (!folders[k].isEmpty() && IsInside(folders[k], c.SystemFolderKeys))
            warning += GetPhraseParam(phrases, 11, digits[k]) + QLatin1Char('\n');
    // A folder inside a program folder raises no warning: its files are locked.
    for (int k = 0; k < 2; ++k)
        if (!folders[k].isEmpty() && ContainsProgramFolder(folders[k], c.ProgramFolderKeys))
            warning += GetPhraseParam(phrases, 12, digits[k]) + QLatin1Char('\n');
    return warning;
}

bool ConfirmNestedFolders(const QString &outerDigit, const QString &innerDigit) {
    const TMLStringList &phrases = MainFormPhrases();
    const QString text = GetPhraseParam(phrases, 8, innerDigit) + QStringLiteral(" #") +
                         outerDigit + QStringLiteral(".\n") +
                         GetPhraseParam(phrases, 9, outerDigit) + QLatin1Char('\n') +
                         GetPhrase(phrases, 10);
    return Host().AskYesCancel(text);
}

CertainFileProblem ValidateCertainFile(QString &certainFile, bool compareContents,
                                       bool &differentExts) {
    // As with folders, blanks that are part of an existing file's name stay.
    if (certainFile.trimmed().isEmpty() || !Platform::StatPath(certainFile, false).IsFile)
        certainFile = certainFile.trimmed();
    if (certainFile.isEmpty())
        return CertainFileProblem::Empty;
    if (certainFile.size() > 2 && certainFile.endsWith(QLatin1String(".*")) && !compareContents) {
        certainFile.chop(2);
        differentExts = true;
    }
    // The characters Windows forbids in names; the folder delimiter is allowed.
    static const QString forbidden = QStringLiteral("*?\"<>|");
    for (QChar ch : certainFile)
        if (forbidden.contains(ch))
            return CertainFileProblem::InvalidCharacters;
    const qsizetype slash = certainFile.lastIndexOf(Platform::PathDelimiter());
    if (certainFile.indexOf(QLatin1Char('.'), slash + 1) < 0)
        differentExts = true;
    return CertainFileProblem::None;
}

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

SearchResult RunSearch(const SearchRequest &request) {
    SetRunState(RunStateValue::Idle);
    SearchOptions options = request.Options;
    options.ImageMode = options.ImageMode && options.CompareContents;
    if (!options.CompareContents)
        options.ContentPercent = 100;
    SearchResult result = CheckRequest(options, request.CertainFileMode);
    result.Settled = request;
    result.Settled.Options = options;
    if (!result.Ran())
        return result;

    BaseFolders folders{request.Folder1, request.Folder2};
    const bool basesFixed = request.FolderModeFixed && options.FolderMode == 2;
    const SettledFolders settled =
        SettleBaseFolders(folders, request.IncludeSubfolders, !basesFixed);
    result.Settled.Folder1 = folders.Folder1;
    result.Settled.Folder2 = folders.Folder2;
    result.Folder = settled.Problem;
    result.ProblemFolder = settled.Folder;
    if (settled.NestedDeclined)
        result.Declined = DeclinedQuestion::NestedFolders;
    if (!result.Ran())
        return result;
    // A second folder that was the first, or inside it, leaves one base
    // folder, in which no two files lie in different base folders: pairs
    // from different folders count instead, unless the user named the mode.
    if (basesFixed && folders.Folder2.isEmpty()) {
        result.Options = OptionProblem::TwoFoldersNeeded;
        return result;
    }
    if (options.FolderMode == 2 && folders.Folder2.isEmpty() &&
        !request.Folder2.trimmed().isEmpty())
        options.FolderMode = 1;
    result.Settled.Options.FolderMode = options.FolderMode;
    const QString warning = CheckSystemPaths(Context().BaseFolderKey1, Context().BaseFolderKey2);
    if (!warning.isEmpty() && !Host().AskYesCancel(warning + GetPhrase(MainFormPhrases(), 31))) {
        result.Declined = DeclinedQuestion::SystemFolders;
        return result;
    }

    Context().Options = options;
    Context().ExcludedFiles = request.Excluded;
    // Before the scan: the cache's own files may lie in the searched folders.
    if (!request.CacheFolder.isEmpty() && RunCache().Open(request.CacheFolder))
        for (const FileIdentity &own : RunCache().OwnFiles())
            Context().ExcludedFiles.push_back(own);
    ApplyFilter(request);
    BeginRun(folders);
    Host().RunStarting();
    ScanBaseFolders(folders);
    PlaceCertainFile();
    FinishScan();
    result.Matches = CompareScannedFiles(result.Outcome, request.IncludeHundred);
    RunCache().Close();
    EndRun(result.Outcome);
    return result;
}
