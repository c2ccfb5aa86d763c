#include "search/SearchRun.h"

#include "TestSupport.h"

#include <QTest>

#include <memory>

using namespace TestSupport;

class TestSearchRun : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> S;

    // Settles the two folders, given below the scratch folder ("" stays empty).
    SettleProblem Settle(const QString &first, const QString &second, BaseFolders &folders) {
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
        const QList<std::tuple<const char *, const char *, SettleProblem>> rows = {
            {"missing", "", SettleProblem::Missing1}, {"one", "missing", SettleProblem::Missing2},
            {"file", "", SettleProblem::NotAFolder1}, {"one", "file/", SettleProblem::NotAFolder2},
            {"", "", SettleProblem::NoFolder},        {"  ", " ", SettleProblem::NoFolder}};
        Context().Options.MaxDuplicates = 7;
        for (const auto &[first, second, problem] : rows) {
            BaseFolders folders;
            QVERIFY2(Settle(first, second, folders) == problem, first);
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
            QCOMPARE(Settle(first, second, folders), SettleProblem::None);
            QCOMPARE(QString(folders.Folder1 + u'|' + folders.Folder2).remove(S->Root), settled);
            QCOMPARE(Context().BaseFolderUpper2, folders.Folder2);
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
                QCOMPARE(Settle(innerFirst ? inner : outer, innerFirst ? outer : inner, folders),
                         answer ? SettleProblem::None : SettleProblem::NestedCancelled);
                QCOMPARE(S->Host.Questions,
                         QStringList{question.arg(innerFirst ? 1 : 2).arg(innerFirst ? 2 : 1)});
                if (answer)
                    QCOMPARE(folders.Folder1 + u'|' + folders.Folder2, S->Root + "one/|");
            }
        S->Host.Questions.clear();
        BaseFolders folders{S->Root + "one", S->Root + "one/inner"};
        QCOMPARE(SettleBaseFolders(folders, false), SettleProblem::None);
        QCOMPARE(folders.Folder2, S->Root + "one/inner/");
        QVERIFY(S->Host.Questions.isEmpty());
    }

    void systemPathWarnings() {
        const QString w1 = QStringLiteral("Pfad #1 enthält einen Windows-Ordner.\n");
        const QString w2 = QStringLiteral("Pfad #2 enthält einen Windows-Ordner.\n");
        const QString p1 = QStringLiteral("Pfad #1 enthält den Ordner \"Programme\".\n");
        const QString p2 = QStringLiteral("Pfad #2 enthält den Ordner \"Programme\".\n");
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
        // Typed name, content search, refusal (a message id, 0 = fine), name kept, any extension.
        QList<std::tuple<QString, bool, int, QString, bool>> rows = {
            {"   ", true, 44, "", false},
            {"/d/name.*", false, 0, "/d/name", true},
            {"/d/name.*", true, 46, "", false},
            {".*", false, 46, "", false},
            {"/d/name", true, 0, "/d/name", true},
            {"/d.x/name", true, 0, "/d.x/name", true},
            {" /d/file.txt ", true, 0, "/d/file.txt", false}};
        for (const char *forbidden : {"?", "\"", "<", ">", "|"})
            rows.append({QStringLiteral("/d/a%1.txt").arg(forbidden), false, 46, "", false});
        for (auto [typed, contents, refusal, certain, differentExts] : rows) {
            bool exts = false;
            QCOMPARE(ValidateCertainFile(typed, contents, exts), refusal);
            if (refusal == 0) {
                QCOMPARE(typed, certain);
                QCOMPARE(exts, differentExts);
            }
        }
    }

    void aRunCancelledDuringTheScanComparesNothing() {
        const BaseFolders folders{S->Root, QString()};
        BeginRun(folders);
        ScanBaseFolders(folders);
        FinishScan();
        QCOMPARE(S->Host.StatusLines.last(), QStringLiteral("vergleiche 1 Dateien (1 KB)"));
        Context().RunState = StopRequested;
        quint8 outcome = 99;
        QCOMPARE(CompareScannedFiles(outcome), 0);
        EndRun(outcome);
        QCOMPARE(outcome, quint8(Stopped));
        QCOMPARE(S->Host.StatusLines.last(), QStringLiteral("Abgebrochen."));
    }
};

QTEST_GUILESS_MAIN(TestSearchRun)
#include "TestSearchRun.moc"
