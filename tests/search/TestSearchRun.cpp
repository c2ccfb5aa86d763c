#include "search/SearchRun.h"

#include "search/MainPhrases.h"

#include "TestSupport.h"

#include <QTest>

#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>

using namespace TestSupport;

Q_DECLARE_METATYPE(CertainFileProblem)

namespace {
// The two folders as typed below the scratch folder, the problem and the folder it is in.
struct RefusalRow {
    const char *Name, *First, *Second;
    BaseFolderProblem Problem;
    int Folder;
};
const RefusalRow RefusalRows[] = {
    {"first missing", "missing", "", BaseFolderProblem::Missing, 1},
    {"second missing", "one", "missing", BaseFolderProblem::Missing, 2},
    {"first a file", "file", "", BaseFolderProblem::NotAFolder, 1},
    {"second a file", "one", "file/", BaseFolderProblem::NotAFolder, 2},
    {"none", "", "", BaseFolderProblem::NoFolder, 1},
    {"blanks", "  ", " ", BaseFolderProblem::NoFolder, 1},
    {"first listed, not searched", "listed", "", BaseFolderProblem::NotSearchable, 1},
    {"second unreadable", "one", "locked", BaseFolderProblem::Unreadable, 2},
};
// The two folders as typed and as settled, "first|second".
struct SecondRow {
    const char *Name, *First, *Second, *Settled;
};
const SecondRow SecondRows[] = {
    {"only the second", "", "one", "one/|"},      {"doubled delimiter", "one", "one//", "one/|"},
    {"dot-dot", "one", "one/inner/..", "one/|"},  {"letter case", "one", "One", "one/|One/"},
    {"longer name", "one", "onex", "one/|onex/"},
};
// Which warnings (system folder "s", program folder "p", per folder digit).
struct WarningRow {
    const char *Name, *Folder1, *Folder2, *Warnings;
};
const WarningRow WarningRows[] = {
    {"the root holds both", "/", "", "s1 p1"},
    {"inside a program folder", "/opt/app/", "", ""},
    {"a program folder", "/opt/", "", "p1"},
    {"inside a system folder", "/usr/share/doc/", "", "s1"},
    {"home", "/home/user/", "", ""},
    {"second only", "/home/user/", "/etc/", "s2"},
    {"both, system first", "/", "/usr/", "s1 s2 p1 p2"},
    {"names that only begin alike", "/usrdata/", "/optional/", ""},
};
} // namespace

class TestSearchRun : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> S;

    // Settles the two folders, given below the scratch folder ("" stays empty).
    SettledFolders Settle(const QString &first, const QString &second, BaseFolders &folders) {
        auto full = [&](const QString &f) { return f.trimmed().isEmpty() ? f : S->Root + f; };
        folders = {full(first), full(second)};
        return SettleBaseFolders(folders, true);
    }

    static QString Phrase(int id, const QString &param) {
        return GetPhraseParam(MainFormPhrases(), id, param);
    }

private slots:
    void init() {
        S = std::make_unique<Scratch>();
        for (const char *folder : {"one/inner", "onex", "One"})
            MakeFolder(S->Root + folder);
        S->Write("file", "x");
    }
    void cleanup() { S.reset(); }

    void unusableFoldersAreRefused_data() { AddRows(RefusalRows); }
    void unusableFoldersAreRefused() {
        const RefusalRow &row = RefusalRows[Data<int>("row")];
        QVERIFY(MakeFolder(S->Root + "listed") && SetMode(S->Root + "listed", 0444));
        QVERIFY(MakeFolder(S->Root + "locked") && SetMode(S->Root + "locked", 0));
        BaseFolders folders;
        SettledFolders settled;
        {
            OwnerRightsOnly rights;
            settled = Settle(row.First, row.Second, folders);
        }
        SetMode(S->Root + "listed", 0755);
        SetMode(S->Root + "locked", 0755);
        QCOMPARE(settled.Problem, row.Problem);
        QCOMPARE(settled.Folder, row.Folder);
        QVERIFY(S->Host.Questions.isEmpty());
    }

    void theSecondFolderIsKeptOnlyWhenItIsAnother_data() { AddRows(SecondRows); }
    void theSecondFolderIsKeptOnlyWhenItIsAnother() {
        const SecondRow &row = SecondRows[Data<int>("row")];
        BaseFolders folders;
        QCOMPARE(Settle(row.First, row.Second, folders).Problem, BaseFolderProblem::None);
        QCOMPARE(QString(folders.Folder1 + u'|' + folders.Folder2).remove(S->Root),
                 QString::fromLatin1(row.Settled));
        QCOMPARE(Context().BaseFolderKey2, folders.Folder2);
        QVERIFY(S->Host.Questions.isEmpty());
    }

    void nestedFoldersAskWhenSubfoldersAreIncluded_data() {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("innerFirst");
        for (const bool answer : {true, false})
            for (const bool innerFirst : {false, true})
                QTest::addRow("%s, inner folder %s", answer ? "yes" : "cancel",
                              innerFirst ? "first" : "second")
                    << answer << innerFirst;
    }
    void nestedFoldersAskWhenSubfoldersAreIncluded() {
        QFETCH(bool, answer);
        QFETCH(bool, innerFirst);
        S->Host.Answer = answer;
        const QString outer = QStringLiteral("one"), inner = QStringLiteral("one/inner");
        BaseFolders folders;
        QCOMPARE(
            Settle(innerFirst ? inner : outer, innerFirst ? outer : inner, folders).NestedDeclined,
            !answer);
        const QString innerDigit = innerFirst ? "1" : "2", outerDigit = innerFirst ? "2" : "1";
        const QString question = Phrase(8, innerDigit) + " #" + outerDigit + ".\n" +
                                 Phrase(9, outerDigit) + '\n' + GetPhrase(MainFormPhrases(), 10);
        QCOMPARE(S->Host.Questions, QStringList{question});
        if (answer)
            QCOMPARE(folders.Folder1 + u'|' + folders.Folder2, S->Root + "one/|");
    }

    void systemPathWarnings_data() { AddRows(WarningRows); }
    void systemPathWarnings() {
        const WarningRow &row = WarningRows[Data<int>("row")];
        QString expected;
        for (const QString &w : QString::fromLatin1(row.Warnings).split(' ', Qt::SkipEmptyParts))
            expected += Phrase(w[0] == 's' ? 11 : 12, w.mid(1)) + '\n';
        QCOMPARE(
            CheckSystemPaths(QString::fromLatin1(row.Folder1), QString::fromLatin1(row.Folder2)),
            expected);
    }

    void certainFileNames_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("contents");
        QTest::addColumn<CertainFileProblem>("problem");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<bool>("anyExtension");
        using P = CertainFileProblem;
        QTest::newRow("blanks") << "   " << true << P::Empty << "" << false;
        QTest::newRow("names only: .* means any extension")
            << "/d/name.*" << false << P::None << "/d/name" << true;
        QTest::newRow("contents: * is refused")
            << "/d/name.*" << true << P::InvalidCharacters << "" << false;
        QTest::newRow("nothing but .*") << ".*" << false << P::InvalidCharacters << "" << false;
        QTest::newRow("no extension") << "/d/name" << true << P::None << "/d/name" << true;
        QTest::newRow("a dot in the folder only")
            << "/d.x/name" << true << P::None << "/d.x/name" << true;
        QTest::newRow("blanks around")
            << " /d/file.txt " << true << P::None << "/d/file.txt" << false;
        for (const char *forbidden : {"?", "\"", "<", ">", "|"})
            QTest::addRow("forbidden %s", forbidden)
                << QStringLiteral("/d/a%1.txt").arg(forbidden) << false << P::InvalidCharacters
                << "" << false;
    }
    void certainFileNames() {
        QFETCH(QString, typed);
        QFETCH(bool, contents);
        QFETCH(CertainFileProblem, problem);
        QFETCH(QString, kept);
        QFETCH(bool, anyExtension);
        bool exts = false;
        QCOMPARE(ValidateCertainFile(typed, contents, exts), problem);
        if (problem == CertainFileProblem::None) {
            QCOMPARE(typed, kept);
            QCOMPARE(exts, anyExtension);
        }
    }

    // Each refusal leaves the run state idle, the last run's options alone and
    // the files untouched.
    void refusedSearchesChangeNothing_data() {
        QTest::addColumn<int>("refusal");
        QTest::newRow("no method") << 0;
        QTest::newRow("pictures at 100 %") << 1;
        QTest::newRow("certain file missing") << 2;
        QTest::newRow("folder missing") << 3;
        QTest::newRow("nested folders declined") << 4;
        QTest::newRow("system folders declined") << 5;
    }
    void refusedSearchesChangeNothing() {
        QFETCH(int, refusal);
        SearchRequest request;
        request.Folder1 = S->Root;
        request.Options.MaxDuplicates = 7;
        S->Host.Answer = false;
        request.Options.CompareContents = refusal != 0;
        request.Options.ImageMode = refusal == 1;
        request.CertainFileMode = refusal == 2;
        request.Options.CertainFile = refusal == 2 ? S->Root + "missing.txt" : QString();
        if (refusal == 3 || refusal == 5)
            request.Folder1 = refusal == 3 ? S->Root + "missing" : "/usr/share/doc/";
        if (refusal == 4)
            request.Folder2 = S->Root + "one";
        const QByteArray before = Listing(S->Root);
        const SearchResult result = RunSearch(request);
        QVERIFY(!result.Ran());
        QCOMPARE(result.Options != OptionProblem::None, refusal <= 1);
        QCOMPARE(result.CertainFile == CertainFileProblem::Missing, refusal == 2);
        QCOMPARE(result.Folder == BaseFolderProblem::Missing, refusal == 3);
        QCOMPARE(result.Declined != DeclinedQuestion::None, refusal >= 4);
        QCOMPARE(RunState(), RunStateValue::Idle);
        QCOMPARE(Context().LastRunOptions.MaxDuplicates, 1000);
        QCOMPARE(Listing(S->Root), before);
    }

    void aRunCancelledDuringTheScanComparesNothing() {
        S->Write("copy", "x");
        // The line that closes the scan: "vergleiche 2 Dateien (1 KB)".
        const QString scanned = Phrase(16, "2") + " (1 KB)";
        S->Host.OnMessages = [&](int) {
            if (S->Host.StatusLines.contains(scanned))
                SetRunState(RunStateValue::StopRequested);
        };
        SearchRequest request;
        request.Folder1 = S->Root;
        const SearchResult result = RunSearch(request);
        QCOMPARE(result.Outcome, RunOutcome::Stopped);
        QCOMPARE(result.Matches, 0);
        QVERIFY(MatchList().empty());
        QCOMPARE(S->Host.StatusLines.last(), GetPhrase(MainFormPhrases(), 18));
    }

    // The file a host writes the result to takes no part, under any of its names,
    // and not as the certain file either.
    void excludedFilesTakeNoPart() {
        S->Write("one/a", "same");
        const QString b = S->Write("one/b", "same");
        QCOMPARE(::link(b.toLocal8Bit(), (S->Root + "onex/b-too").toLocal8Bit()), 0);
        const Platform::FileInfo excluded = Platform::StatPath(b, false);
        for (const bool certain : {false, true}) {
            SearchRequest request;
            request.Folder1 = S->Root;
            request.CertainFileMode = certain;
            request.Options.CertainFile = b;
            request.Excluded = {{excluded.Device, excluded.Inode}};
            QCOMPARE(RunSearch(request).Matches, 0);
            request.Excluded.clear();
            QVERIFY(RunSearch(request).Matches > 0);
        }
    }

    // The scan goes on past a folder it cannot search and names it once.
    void foldersThatCannotBeSearchedAreNamed() {
        S->Write("ok/a", "same");
        S->Write("ok/b", "same");
        S->Write("listed/c", "same");
        S->Write("locked/d", "same");
        // A chain of folders whose full names grow beyond what the system opens.
        const QByteArray name(200, 'd');
        QVERIFY(MakeFolder(S->Root + "deep"));
        int fd = ::open(Platform::EncodeName(S->Root + "deep").constData(), O_RDONLY);
        QString beyond = S->Root + "deep/";
        for (int level = 0; level < PATH_MAX / 200 + 2; ++level) {
            const int parent = fd;
            QCOMPARE(::mkdirat(parent, name.constData(), 0755), 0);
            fd = ::openat(parent, name.constData(), O_RDONLY);
            ::close(parent);
            if (Platform::EncodeName(beyond).size() < PATH_MAX)
                beyond += QString::fromLatin1(name) + '/';
        }
        ::close(fd);
        QVERIFY(SetMode(S->Root + "listed", 0444) && SetMode(S->Root + "locked", 0));
        SearchRequest request;
        request.Folder1 = S->Root;
        SearchResult result;
        {
            OwnerRightsOnly rights;
            result = RunSearch(request);
        }
        SetMode(S->Root + "listed", 0755);
        SetMode(S->Root + "locked", 0755);
        RunProgram("/bin/rm", {"-rf", "--", S->Root + "deep"});

        QCOMPARE(result.Matches, 1);
        const auto note = [](const QString &folder, int error) {
            return GetPhraseParam(FileSearchPhrases(), 32, folder) + " (" +
                   QString::fromLocal8Bit(std::strerror(error)) + ')';
        };
        const QString prefix = GetPhraseParam(FileSearchPhrases(), 32, QString());
        QCOMPARE(S->Host.Notes.filter(prefix),
                 (QStringList{note(beyond, ENAMETOOLONG), note(S->Root + "listed/", EACCES),
                              note(S->Root + "locked/", EACCES)}));
    }

    // The highest percentage a picture search takes is the one its refusal names.
    void thePictureLimitIsTheOneTheMessageNames() {
        SearchRequest request;
        request.Folder1 = S->Root + "one";
        request.Options.ImageMode = true;
        int percent = 100;
        for (; percent >= 60; --percent) {
            request.Options.ContentPercent = quint8(percent);
            const SearchResult result = RunSearch(request);
            if (result.Ran())
                break;
            QCOMPARE(result.Options, OptionProblem::PixelHundred);
        }
        const QString message = GetPhrase(MainFormPhrases(), 39);
        QVERIFY2(message.contains(QString::number(percent) + '%'), qPrintable(message));
    }

    // Named by the user, pairs across base folders are never silently turned
    // into another mode; nested folders are then not even asked about.
    void aFixedBaseFolderModeNeedsTwoSeparateFolders_data() {
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("subfolders");
        QTest::addColumn<bool>("refused");
        QTest::newRow("around the first") << "." << true << true;
        QTest::newRow("none") << "" << true << true;
        QTest::newRow("inside, subfolders left out") << "one/inner" << false << false;
    }
    void aFixedBaseFolderModeNeedsTwoSeparateFolders() {
        QFETCH(QString, second);
        QFETCH(bool, subfolders);
        QFETCH(bool, refused);
        S->Write("one/a", "same");
        S->Write("onex/b", "same");
        SearchRequest request;
        request.Folder1 = S->Root + "one";
        request.Folder2 = second.isEmpty() ? second : S->Root + second;
        request.IncludeSubfolders = subfolders;
        request.Options.FolderMode = 2;
        request.FolderModeFixed = true;
        const SearchResult result = RunSearch(request);
        QCOMPARE(result.Options == OptionProblem::TwoFoldersNeeded, refused);
        QCOMPARE(result.Ran(), !refused);
        QCOMPARE(RunState(), refused ? RunStateValue::Idle : RunStateValue::Finished);
        QVERIFY(S->Host.Questions.isEmpty());
    }

    void aDroppedSecondFolderTurnsBaseFoldersIntoFolders() {
        S->Write("one/a", "same");
        S->Write("one/inner/b", "same");
        for (const char *second : {"one", "one/inner", "  "}) {
            SearchRequest request;
            request.Folder1 = S->Root + "one";
            request.Folder2 = QString::fromLatin1(second).trimmed().isEmpty()
                                  ? QString::fromLatin1(second)
                                  : S->Root + second;
            request.Options.FolderMode = 2;
            const SearchResult result = RunSearch(request);
            QVERIFY2(result.Ran(), second);
            // Only a second folder that was given and then dropped changes the mode.
            const bool dropped = QString::fromLatin1(second).trimmed().size() > 0;
            QCOMPARE(result.Settled.Options.FolderMode, dropped ? 1 : 2);
            QCOMPARE(result.Matches, dropped ? 1 : 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestSearchRun)
#include "TestSearchRun.moc"
