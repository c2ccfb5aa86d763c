#include "search/SearchRun.h"

#include "platform/Platform.h"
#include "search/CompareDriver.h"
#include "search/FileSearchUnit.h"
#include "search/MainPhrases.h"
#include "search/SearchHost.h"

#include <QLocale>

namespace {
SettleProblem ProblemOf(Platform::FolderProblem problem, bool first) {
    switch (problem) {
    case Platform::FolderProblem::Missing:
        return first ? SettleProblem::Missing1 : SettleProblem::Missing2;
    case Platform::FolderProblem::NotAFolder:
        return first ? SettleProblem::NotAFolder1 : SettleProblem::NotAFolder2;
    case Platform::FolderProblem::Unreadable:
        return first ? SettleProblem::Unreadable1 : SettleProblem::Unreadable2;
    case Platform::FolderProblem::None:
        break;
    }
    return SettleProblem::None;
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
} // namespace

SettleProblem SettleBaseFolders(BaseFolders &folders, bool includeSubfolders) {
    SearchContext &c = Context();
    for (;;) {
        const QString typed1 = TypedFolder(folders.Folder1);
        const QString typed2 = TypedFolder(folders.Folder2);
        if (!typed1.isEmpty()) {
            const auto problem = Platform::CheckFolder(Platform::AbsolutePath(typed1));
            if (problem != Platform::FolderProblem::None)
                return ProblemOf(problem, true);
        }
        if (!typed2.isEmpty()) {
            const auto problem = Platform::CheckFolder(Platform::AbsolutePath(typed2));
            if (problem != Platform::FolderProblem::None)
                return ProblemOf(problem, false);
        }
        if (typed1.isEmpty() && !typed2.isEmpty()) {
            folders = {typed2, QString()};
            continue;
        }
        if (typed1.isEmpty())
            return SettleProblem::NoFolder;

        folders.Folder1 = RealFolder(typed1);
        folders.Folder2 = typed2.isEmpty() ? QString() : RealFolder(typed2);
        c.BaseFolderUpper1 = Platform::FolderKey(folders.Folder1);
        c.BaseFolderUpper2 = Platform::FolderKey(folders.Folder2);
        if (c.BaseFolderUpper1 == c.BaseFolderUpper2) {
            folders.Folder2.clear();
            c.BaseFolderUpper2.clear();
        }
        c.IncludeSubfolders = includeSubfolders;
        if (!includeSubfolders || folders.Folder2.isEmpty())
            return SettleProblem::None;

        if (c.BaseFolderUpper2.startsWith(c.BaseFolderUpper1)) {
            if (!ConfirmNestedFolders(QStringLiteral("1"), QStringLiteral("2")))
                return SettleProblem::NestedCancelled;
            folders.Folder2.clear();
        } else if (c.BaseFolderUpper1.startsWith(c.BaseFolderUpper2)) {
            if (!ConfirmNestedFolders(QStringLiteral("2"), QStringLiteral("1")))
                return SettleProblem::NestedCancelled;
            folders = {folders.Folder2, QString()};
        } else {
            return SettleProblem::None;
        }
        ProcessMessages();
    }
}

QString CheckSystemPaths(const QString &upperFolder1, const QString &upperFolder2) {
    const SearchContext &c = Context();
    const TMLStringList &phrases = MainFormPhrases();
    const QString folders[2] = {upperFolder1, upperFolder2};
    const QString digits[2] = {QStringLiteral("1"), QStringLiteral("2")};
    QString warning;
    for (int k = 0; k < 2; ++k)
        if (!folders[k].isEmpty() && IsInside(folders[k], c.WindowsFolderUpper))
            warning += GetPhraseParam(phrases, 11, digits[k]) + QLatin1Char('\n');
    for (int k = 0; k < 2; ++k)
        if (!folders[k].isEmpty() && ContainsProgramFolder(folders[k], c.ProgramFilesFolderUpper))
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

void BeginRun(const BaseFolders &folders) {
    SearchContext &c = Context();
    c.RunState = Running;
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
        Host().SetTitle(c.ScanPrefix.trimmed());
        ProcessMessages();
        ScanFolder(folder);
    }
}

bool PlaceCertainFile() {
    const SearchOptions &o = Context().Options;
    if (o.CertainFile.isEmpty())
        return true;
    FileList &table = FileTable();
    for (std::size_t k = 0; k < table.size(); ++k) {
        // Letter case tells files apart where the file system does, so only the
        // folder key decides whether the certain file was scanned already.
        if (Platform::FolderKey(table[k].Text) == Platform::FolderKey(o.CertainFile)) {
            FileEntry entry = std::move(table[k]);
            table.erase(table.begin() + std::ptrdiff_t(k));
            table.insert(table.begin(), std::move(entry));
            return true;
        }
    }
    if (AddCertainFile(o.CertainFile, o.CompareContents))
        return true;
    ClearFileTable();
    return false;
}

void FinishScan() {
    FileTable().shrink_to_fit();
    const QLocale locale;
    Host().AddStatusLine(
        GetPhraseParam(MainFormPhrases(), 16, locale.toString(qlonglong(FileTable().size()))) +
        QStringLiteral(" (") + SizeText(qint64(TotalSize() / 1024)) + QLatin1Char(')'));
    ProcessMessages();
}

int CompareScannedFiles(quint8 &outcome, bool includeHundred) {
    SearchContext &c = Context();
    if (Terminating() || c.RunState == StopRequested) {
        outcome = Stopped;
        return 0;
    }
    if (c.Options.CertainFile.isEmpty())
        SortFileTable();
    return RunCompare(outcome, includeHundred);
}

void EndRun(quint8 outcome) {
    Host().SetTitle(QStringLiteral("Dupliscan"));
    if (outcome == Stopped)
        Host().AddStatusLine(GetPhrase(MainFormPhrases(), 18));
    Context().RunState = Finished;
}

int ValidateCertainFile(QString &certainFile, bool compareContents, bool &differentExts) {
    // As with folders, blanks that are part of an existing file's name stay.
    if (certainFile.trimmed().isEmpty() || !Platform::StatPath(certainFile, false).IsFile)
        certainFile = certainFile.trimmed();
    if (certainFile.isEmpty())
        return 44;
    if (certainFile.size() > 2 && certainFile.endsWith(QLatin1String(".*")) && !compareContents) {
        certainFile.chop(2);
        differentExts = true;
    }
    // The characters Windows forbids in names; the folder delimiter is allowed.
    static const QString forbidden = QStringLiteral("*?\"<>|");
    for (QChar ch : certainFile)
        if (forbidden.contains(ch))
            return 46;
    const qsizetype slash = certainFile.lastIndexOf(Platform::PathDelimiter());
    if (certainFile.indexOf(QLatin1Char('.'), slash + 1) < 0)
        differentExts = true;
    return 0;
}
