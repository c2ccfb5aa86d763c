#include "search/SearchRun.h"

#include "compare/FileCompareUnit.h"
#include "compare/FilterUnit.h"
#include "search/CompareDriver.h"
#include "search/FileSearchUnit.h"

#include "TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

Q_DECLARE_METATYPE(SettleProblem)

namespace {
bool SameOptions(const SearchOptions &a, const SearchOptions &b) {
    return a.CompareContents == b.CompareContents && a.ImageMode == b.ImageMode &&
           a.ContentPercent == b.ContentPercent && a.CompareNames == b.CompareNames &&
           a.NamePercent == b.NamePercent && a.DifferentExts == b.DifferentExts &&
           a.IdenticalSize == b.IdenticalSize && a.NameCompareMaxLength == b.NameCompareMaxLength &&
           a.FolderMode == b.FolderMode && a.CertainFile == b.CertainFile &&
           a.MaxDuplicates == b.MaxDuplicates;
}

const QString NestedQuestion21 =
    QStringLiteral("Ordner #2 ist ein Unterordner des Ordners #1.\nEs werden jedoch sowieso ALLE "
                   "Unterordner von Ordner #1 durchsucht.\nMöchten Sie fortsetzen?");
const QString NestedQuestion12 =
    QStringLiteral("Ordner #1 ist ein Unterordner des Ordners #2.\nEs werden jedoch sowieso ALLE "
                   "Unterordner von Ordner #2 durchsucht.\nMöchten Sie fortsetzen?");
} // namespace

class TestSearchRun : public QObject {
    Q_OBJECT

    QTemporaryDir *Dir = nullptr;
    QString Root;
    RecordingHost *Recorder = nullptr;

    QString Write(const QString &relative, const QByteArray &bytes) const {
        const QString path = Root + relative;
        MakeFolder(path.left(path.lastIndexOf(QLatin1Char('/'))));
        if (!WriteFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void init() {
        ResetSearchContext();
        ResetFilter();
        ClearFileTable();
        ClearMatchList();
        Dir = new QTemporaryDir;
        Root = Dir->path() + QLatin1Char('/');
        MakeFolder(Root + "one/inner");
        MakeFolder(Root + "onex");
        MakeFolder(Root + "One");
        Write("file", "x");
        Recorder = new RecordingHost;
        SetHost(Recorder);
    }
    void cleanup() {
        SetHost(nullptr);
        delete Recorder;
        delete Dir;
        ClearFileTable();
        ClearMatchList();
        FreeCompareBuffers();
        ResetFilter();
        ResetSearchContext();
    }

    void unusableFoldersAreRefused_data() {
        QTest::addColumn<QString>("folder1");
        QTest::addColumn<QString>("folder2");
        QTest::addColumn<SettleProblem>("problem");
        QTest::newRow("first missing") << "missing"
                                       << "" << SettleProblem::Missing1;
        QTest::newRow("second missing") << "one"
                                        << "missing" << SettleProblem::Missing2;
        QTest::newRow("first is a file") << "file"
                                         << "" << SettleProblem::NotAFolder1;
        QTest::newRow("second is a file") << "one"
                                          << "file/" << SettleProblem::NotAFolder2;
        QTest::newRow("none given") << ""
                                    << "" << SettleProblem::NoFolder;
        QTest::newRow("blanks only") << "  "
                                     << " " << SettleProblem::NoFolder;
    }
    void unusableFoldersAreRefused() {
        QFETCH(QString, folder1);
        QFETCH(QString, folder2);
        QFETCH(SettleProblem, problem);
        auto full = [&](const QString &f) { return f.trimmed().isEmpty() ? f : Root + f; };
        BaseFolders folders{full(folder1), full(folder2)};
        const SearchOptions before = Context().LastRunOptions;
        Context().Options.MaxDuplicates = 7;
        QCOMPARE(SettleBaseFolders(folders, true), problem);
        QVERIFY(SameOptions(Context().LastRunOptions, before));
        QCOMPARE(Context().RunState, quint8(Idle));
        QVERIFY(Recorder->Questions.isEmpty());
    }

    void theSecondFolderAloneBecomesTheFirst() {
        BaseFolders folders{QString(), Root + "one"};
        QCOMPARE(SettleBaseFolders(folders, true), SettleProblem::None);
        QCOMPARE(folders.Folder1, Root + "one/");
        QVERIFY(folders.Folder2.isEmpty());
        QCOMPARE(Context().BaseFolderUpper1, Root + "one/");
        QVERIFY(Context().BaseFolderUpper2.isEmpty());
    }

    void theSameFolderTwiceIsDroppedSilently_data() {
        QTest::addColumn<QString>("second");
        QTest::newRow("identical") << "one";
        QTest::newRow("trailing slash") << "one/";
        QTest::newRow("doubled slash") << "one//";
        QTest::newRow("through dot-dot") << "one/inner/..";
    }
    void theSameFolderTwiceIsDroppedSilently() {
        QFETCH(QString, second);
        BaseFolders folders{Root + "one", Root + second};
        QCOMPARE(SettleBaseFolders(folders, true), SettleProblem::None);
        QCOMPARE(folders.Folder1, Root + "one/");
        QVERIFY(folders.Folder2.isEmpty());
        QVERIFY(Context().BaseFolderUpper2.isEmpty());
        QVERIFY(Recorder->Questions.isEmpty());
    }

    void foldersDifferingInCaseOrPrefixAreBothSearched_data() {
        QTest::addColumn<QString>("second");
        QTest::newRow("other case") << "One";
        QTest::newRow("longer name") << "onex";
    }
    void foldersDifferingInCaseOrPrefixAreBothSearched() {
        QFETCH(QString, second);
        BaseFolders folders{Root + "one", Root + second};
        QCOMPARE(SettleBaseFolders(folders, true), SettleProblem::None);
        QCOMPARE(folders.Folder2, Root + second + "/");
        QCOMPARE(Context().BaseFolderUpper2, Root + second + "/");
        QVERIFY(Recorder->Questions.isEmpty());
    }

    void blanksAroundAFolderCountOnlyWhenTheyNameIt() {
        MakeFolder(Root + "blank ");
        BaseFolders folders{Root + "blank ", QString()};
        QCOMPARE(SettleBaseFolders(folders, true), SettleProblem::None);
        QCOMPARE(folders.Folder1, Root + "blank /");
        folders = {QStringLiteral("  ") + Root + "one  ", QString()};
        QCOMPARE(SettleBaseFolders(folders, true), SettleProblem::None);
        QCOMPARE(folders.Folder1, Root + "one/");
    }

    void relativeFoldersAreMadeFull() {
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(Root));
        BaseFolders folders{QStringLiteral("one/inner"), QString()};
        const SettleProblem problem = SettleBaseFolders(folders, true);
        QDir::setCurrent(previous);
        QCOMPARE(problem, SettleProblem::None);
        QCOMPARE(folders.Folder1, QDir(Root).canonicalPath() + "/one/inner/");
    }

    void nestedFoldersAsk_data() {
        QTest::addColumn<QString>("folder1");
        QTest::addColumn<QString>("folder2");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<SettleProblem>("problem");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("settled");
        QTest::newRow("second inside, yes")
            << "one"
            << "one/inner" << true << SettleProblem::None << NestedQuestion21 << "one/";
        QTest::newRow("second inside, cancel")
            << "one"
            << "one/inner" << false << SettleProblem::NestedCancelled << NestedQuestion21 << "";
        QTest::newRow("first inside, yes")
            << "one/inner"
            << "one" << true << SettleProblem::None << NestedQuestion12 << "one/";
        QTest::newRow("first inside, cancel")
            << "one/inner"
            << "one" << false << SettleProblem::NestedCancelled << NestedQuestion12 << "";
    }
    void nestedFoldersAsk() {
        QFETCH(QString, folder1);
        QFETCH(QString, folder2);
        QFETCH(bool, answer);
        QFETCH(SettleProblem, problem);
        QFETCH(QString, question);
        QFETCH(QString, settled);
        Recorder->Answer = answer;
        BaseFolders folders{Root + folder1, Root + folder2};
        QCOMPARE(SettleBaseFolders(folders, true), problem);
        QCOMPARE(Recorder->Questions, QStringList{question});
        QVERIFY(Context().IncludeSubfolders);
        if (problem == SettleProblem::None) {
            QCOMPARE(folders.Folder1, Root + settled);
            QVERIFY(folders.Folder2.isEmpty());
            QCOMPARE(Context().BaseFolderUpper1, Root + settled);
            QVERIFY(Context().BaseFolderUpper2.isEmpty());
        }
    }

    void nestedFoldersWithoutSubfoldersAreBothScanned() {
        BaseFolders folders{Root + "one", Root + "one/inner"};
        QCOMPARE(SettleBaseFolders(folders, false), SettleProblem::None);
        QCOMPARE(folders.Folder2, Root + "one/inner/");
        QVERIFY(!Context().IncludeSubfolders);
        QVERIFY(Recorder->Questions.isEmpty());
    }

    void systemPathWarnings_data() {
        QTest::addColumn<QString>("folder1");
        QTest::addColumn<QString>("folder2");
        QTest::addColumn<QString>("warning");
        const QString w1 = QStringLiteral("Pfad #1 enthält einen Windows-Ordner.\n");
        const QString w2 = QStringLiteral("Pfad #2 enthält einen Windows-Ordner.\n");
        const QString p1 = QStringLiteral("Pfad #1 enthält den Ordner \"Programme\".\n");
        const QString p2 = QStringLiteral("Pfad #2 enthält den Ordner \"Programme\".\n");
        QTest::newRow("root raises both") << "/"
                                          << "" << w1 + p1;
        QTest::newRow("inside a program folder") << "/opt/app/"
                                                 << ""
                                                 << "";
        QTest::newRow("a program folder itself") << "/opt/"
                                                 << "" << p1;
        QTest::newRow("inside a system folder") << "/usr/share/doc/"
                                                << "" << w1;
        QTest::newRow("home") << "/home/user/"
                              << ""
                              << "";
        QTest::newRow("second only") << "/home/user/"
                                     << "/etc/" << w2;
        QTest::newRow("windows tests come first") << "/"
                                                  << "/usr/" << w1 + w2 + p1 + p2;
        QTest::newRow("prefix is not a folder") << "/usrdata/"
                                                << "/optional/"
                                                << "";
    }
    void systemPathWarnings() {
        QFETCH(QString, folder1);
        QFETCH(QString, folder2);
        QFETCH(QString, warning);
        QCOMPARE(CheckSystemPaths(folder1, folder2), warning);
    }

    void certainFileNames_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("contents");
        QTest::addColumn<int>("refusal");
        QTest::addColumn<QString>("certain");
        QTest::addColumn<bool>("differentExts");
        QTest::newRow("empty") << "   " << true << 44 << "" << false;
        QTest::newRow("any extension for names") << "/d/name.*" << false << 0 << "/d/name" << true;
        QTest::newRow("any extension for contents")
            << "/d/name.*" << true << 46 << "/d/name.*" << false;
        QTest::newRow("only the wildcard") << ".*" << false << 46 << ".*" << false;
        QTest::newRow("question mark") << "/d/a?.txt" << false << 46 << "/d/a?.txt" << false;
        QTest::newRow("quote") << "/d/a\".txt" << false << 46 << "/d/a\".txt" << false;
        QTest::newRow("less than") << "/d/a<.txt" << false << 46 << "/d/a<.txt" << false;
        QTest::newRow("greater than") << "/d/a>.txt" << false << 46 << "/d/a>.txt" << false;
        QTest::newRow("bar") << "/d/a|.txt" << false << 46 << "/d/a|.txt" << false;
        QTest::newRow("no extension") << "/d/name" << true << 0 << "/d/name" << true;
        QTest::newRow("dot only in a folder") << "/d.x/name" << true << 0 << "/d.x/name" << true;
        QTest::newRow("plain name") << " /d/file.txt " << true << 0 << "/d/file.txt" << false;
    }
    void certainFileNames() {
        QFETCH(QString, typed);
        QFETCH(bool, contents);
        QFETCH(int, refusal);
        QFETCH(QString, certain);
        QFETCH(bool, differentExts);
        bool exts = false;
        QCOMPARE(ValidateCertainFile(typed, contents, exts), refusal);
        if (refusal == 0) {
            QCOMPARE(typed, certain);
            QCOMPARE(exts, differentExts);
        }
    }

    void aCertainFileNameEndingInABlankIsKept() {
        const QString blank = Write("name ", "x");
        QString typed = blank;
        bool exts = false;
        QCOMPARE(ValidateCertainFile(typed, true, exts), 0);
        QCOMPARE(typed, blank);
        typed = Root + "missing ";
        QCOMPARE(ValidateCertainFile(typed, true, exts), 0);
        QCOMPARE(typed, Root + "missing");
    }

    void aScannedCertainFileMovesToTheFront() {
        Write("tree/a", "a");
        const QString certain = Write("tree/z", "z");
        Context().Options.CertainFile = certain;
        BeginRun({Root + "tree/", QString()});
        QVERIFY(Context().CommonBaseFolder.isEmpty());
        ScanBaseFolders({Root + "tree/", QString()});
        QCOMPARE(int(FileTable().size()), 2);
        QVERIFY(PlaceCertainFile());
        QCOMPARE(int(FileTable().size()), 2);
        QCOMPARE(FileTable()[0].Text, certain);
        QCOMPARE(FileTable()[0].Record->Mark, quint8(Stay));
    }

    void anUnscannedCertainFileIsAdded() {
        Write("tree/a", "a");
        const QString outside = Write("outside", "o");
        Context().Options.CertainFile = outside;
        ScanBaseFolders({Root + "tree/", QString()});
        QVERIFY(PlaceCertainFile());
        QCOMPARE(int(FileTable().size()), 2);
        QCOMPARE(FileTable()[0].Text, outside);

        // Letter case tells files apart here, so another case is another file.
        Context().Options.CertainFile = Root + "tree/A";
        Context().Options.CompareContents = false;
        QVERIFY(PlaceCertainFile());
        QCOMPARE(int(FileTable().size()), 3);
        QCOMPARE(FileTable()[0].Record->Mark, quint8(Virtual));
    }

    void aMissingCertainFileEmptiesAContentSearch() {
        Write("tree/a", "a");
        Context().Options.CertainFile = Root + "missing";
        ScanBaseFolders({Root + "tree/", QString()});
        QVERIFY(!PlaceCertainFile());
        QVERIFY(FileTable().empty());
    }

    void commonBaseFolderOnlyForOneFolder() {
        BeginRun({Root + "one/", QString()});
        QCOMPARE(Context().CommonBaseFolder, Root + "one/");
        QCOMPARE(Context().RunState, quint8(Running));
        BeginRun({Root + "one/", Root + "onex/"});
        QVERIFY(Context().CommonBaseFolder.isEmpty());
        Context().Options.CertainFile = Root + "file";
        BeginRun({Root + "one/", QString()});
        QVERIFY(Context().CommonBaseFolder.isEmpty());
    }

    void onlyARunThatStartsTakesItsOptions() {
        Context().Options.MaxDuplicates = 5;
        Context().Options.CompareNames = true;
        BaseFolders missing{Root + "missing", QString()};
        QCOMPARE(SettleBaseFolders(missing, true), SettleProblem::Missing1);
        QCOMPARE(Context().LastRunOptions.MaxDuplicates, 1000);
        QVERIFY(!Context().LastRunOptions.CompareNames);
        BeginRun({Root + "one/", QString()});
        QVERIFY(SameOptions(Context().LastRunOptions, Context().Options));
    }

    void aRunCancelledDuringTheScanComparesNothing() {
        Write("tree/b", "same");
        Write("tree/a", "same");
        const BaseFolders folders{Root + "tree/", QString()};
        BeginRun(folders);
        ScanBaseFolders(folders);
        FinishScan();
        QCOMPARE(Recorder->StatusLines.last(), QStringLiteral("vergleiche 2 Dateien (1 KB)"));
        Context().RunState = StopRequested;
        quint8 outcome = 99;
        QCOMPARE(CompareScannedFiles(outcome), 0);
        QCOMPARE(outcome, quint8(Stopped));
        QVERIFY(MatchList().empty());
        EndRun(outcome);
        QCOMPARE(Recorder->StatusLines.last(), QStringLiteral("Abgebrochen."));
        QCOMPARE(Recorder->Titles.last(), QStringLiteral("Dupliscan"));
        QCOMPARE(Context().RunState, quint8(Finished));
    }

    void aWholeRunFindsTheDuplicates() {
        Write("tree/b", "same");
        Write("tree/a", "same");
        Write("tree/c", "other");
        const BaseFolders folders{Root + "tree/", QString()};
        BeginRun(folders);
        ScanBaseFolders(folders);
        QVERIFY(PlaceCertainFile());
        FinishScan();
        quint8 outcome = 99;
        QCOMPARE(CompareScannedFiles(outcome), 1);
        EndRun(outcome);
        QCOMPARE(outcome, quint8(Completed));
        QCOMPARE(int(MatchList().size()), 2);
        QCOMPARE(MatchList()[0].Text, QStringLiteral("a"));
        QCOMPARE(MatchList()[1].Text, QStringLiteral("b"));
        QVERIFY(!Recorder->StatusLines.contains(QStringLiteral("Abgebrochen.")));
    }
};

QTEST_GUILESS_MAIN(TestSearchRun)
#include "TestSearchRun.moc"
