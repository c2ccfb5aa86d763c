#include "search/SearchRun.h"

#include "TestSupport.h"

#include <QTest>

#include <memory>

using namespace TestSupport;

class TestSearchRun : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> S;

    // Settles the two folders, given below the scratch folder ("" stays empty).
    SettledFolders Settle(const QString &first, const QString &second, BaseFolders &folders) {
        auto full = [&](const QString &f) { return f.trimmed().isEmpty() ? f : S->Root + f; };
        folders = {full(first), full(second)};
        return SettleBaseFolders(folders, true);
    }

private slots:
    void init() {
        S = std::make_unique<Scratch>();
        for (const char *folder : {"one/inner", "onex", "One"})
            MakeFolder(S->Root + folder);
        S->Write("file", "x");
    }
    void cleanup() { S.reset(); }

    void unusableFoldersAreRefused() {
        using P = BaseFolderProblem;
        const QList<std::tuple<const char *, const char *, P, int>> rows = {
            {"missing", "", P::Missing, 1}, {"one", "missing", P::Missing, 2},
            {"file", "", P::NotAFolder, 1}, {"one", "file/", P::NotAFolder, 2},
            {"", "", P::NoFolder, 1},       {"  ", " ", P::NoFolder, 1}};
        Context().Options.MaxDuplicates = 7;
        for (const auto &[first, second, problem, folder] : rows) {
            BaseFolders folders;
            const SettledFolders settled = Settle(first, second, folders);
            QVERIFY2(settled.Problem == problem && settled.Folder == folder, first);
            QCOMPARE(Context().LastRunOptions.MaxDuplicates, 1000); // only a run takes options
        }
        QVERIFY(S->Host.Questions.isEmpty());
    }

    void theSecondFolderIsKeptOnlyWhenItIsAnother() {
        // First folder, second folder, and the two settled folders.
        const QList<std::tuple<const char *, const char *, const char *>> rows = {
            {"", "one", "one/|"},
            {"one", "one//", "one/|"},
            {"one", "one/inner/..", "one/|"},
            {"one", "One", "one/|One/"},
            {"one", "onex", "one/|onex/"}};
        for (const auto &[first, second, settled] : rows) {
            BaseFolders folders;
            QCOMPARE(Settle(first, second, folders).Problem, BaseFolderProblem::None);
            QCOMPARE(QString(folders.Folder1 + u'|' + folders.Folder2).remove(S->Root), settled);
            QCOMPARE(Context().BaseFolderKey2, folders.Folder2);
        }
        QVERIFY(S->Host.Questions.isEmpty());
    }

    void nestedFoldersAskWhenSubfoldersAreIncluded() {
        const QString question = QStringLiteral(
            "Ordner #%1 ist ein Unterordner des Ordners #%2.\nEs werden jedoch sowieso ALLE "
            "Unterordner von Ordner #%2 durchsucht.\nMöchten Sie fortsetzen?");
        for (const bool answer : {true, false})
            for (const bool innerFirst : {false, true}) {
                S->Host.Answer = answer;
                S->Host.Questions.clear();
                const char *outer = "one", *inner = "one/inner";
                BaseFolders folders;
                QCOMPARE(Settle(innerFirst ? inner : outer, innerFirst ? outer : inner, folders)
                             .NestedDeclined,
                         !answer);
                QCOMPARE(S->Host.Questions,
                         QStringList{question.arg(innerFirst ? 1 : 2).arg(innerFirst ? 2 : 1)});
                if (answer)
                    QCOMPARE(folders.Folder1 + u'|' + folders.Folder2, S->Root + "one/|");
            }
        S->Host.Questions.clear();
        BaseFolders folders{S->Root + "one", S->Root + "one/inner"};
        QCOMPARE(SettleBaseFolders(folders, false).Problem, BaseFolderProblem::None);
        QCOMPARE(folders.Folder2, S->Root + "one/inner/");
        QVERIFY(S->Host.Questions.isEmpty());
    }

    void systemPathWarnings() {
        // Linux names its own folders; no word of Windows.
        const QString w =
            QStringLiteral("Pfad #%1 enthält einen Systemordner (wie /usr oder /etc).\n");
        const QString p = QStringLiteral(
            "Pfad #%1 enthält einen Ordner installierter Programme (wie /opt oder /usr/local).\n");
        const QString w1 = w.arg(1), w2 = w.arg(2), p1 = p.arg(1), p2 = p.arg(2);
        const QList<std::tuple<QString, QString, QString>> rows = {
            {"/", "", w1 + p1},
            {"/opt/app/", "", ""},
            {"/opt/", "", p1},
            {"/usr/share/doc/", "", w1},
            {"/home/user/", "", ""},
            {"/home/user/", "/etc/", w2},
            {"/", "/usr/", w1 + w2 + p1 + p2},
            {"/usrdata/", "/optional/", ""}};
        for (const auto &[folder1, folder2, warning] : rows)
            QCOMPARE(CheckSystemPaths(folder1, folder2), warning);
    }

    void certainFileNames() {
        // Typed name, content search, refusal, name kept, any extension.
        using P = CertainFileProblem;
        QList<std::tuple<QString, bool, P, QString, bool>> rows = {
            {"   ", true, P::Empty, "", false},
            {"/d/name.*", false, P::None, "/d/name", true},
            {"/d/name.*", true, P::InvalidCharacters, "", false},
            {".*", false, P::InvalidCharacters, "", false},
            {"/d/name", true, P::None, "/d/name", true},
            {"/d.x/name", true, P::None, "/d.x/name", true},
            {" /d/file.txt ", true, P::None, "/d/file.txt", false}};
        for (const char *forbidden : {"?", "\"", "<", ">", "|"})
            rows.append({QStringLiteral("/d/a%1.txt").arg(forbidden), false, P::InvalidCharacters,
                         "", false});
        for (auto [typed, contents, refusal, certain, differentExts] : rows) {
            bool exts = false;
            QCOMPARE(ValidateCertainFile(typed, contents, exts), refusal);
            if (refusal == P::None) {
                QCOMPARE(typed, certain);
                QCOMPARE(exts, differentExts);
            }
        }
    }

    void aRunCancelledDuringTheScanComparesNothing() {
        S->Write("copy", "x");
        S->Host.OnMessages = [&](int) {
            if (S->Host.StatusLines.contains(QStringLiteral("vergleiche 2 Dateien (1 KB)")))
                SetRunState(RunStateValue::StopRequested);
        };
        SearchRequest request;
        request.Folder1 = S->Root;
        const SearchResult result = RunSearch(request);
        QCOMPARE(result.Outcome, RunOutcome::Stopped);
        QCOMPARE(result.Matches, 0);
        QVERIFY(MatchList().empty());
        QCOMPARE(S->Host.StatusLines.last(), QStringLiteral("Abgebrochen."));
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
