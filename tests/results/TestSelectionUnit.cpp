#include "results/SelectionUnit.h"

#include "results/MatchListText.h"

#include "TestSupport.h"

#include <QRandomGenerator>

using namespace Qt::StringLiterals;

namespace {
// Every block of the list keeps a copy for each file marked for deletion.
QString BlockWithoutCopy() {
    const FileList &list = MatchList();
    for (int first = 0; first < int(list.size()); ++first) {
        int last = first;
        while (last + 1 < int(list.size()) && list[std::size_t(last + 1)].Record->Group == first)
            ++last;
        if (!BlockKeepsACopy(first, last))
            return u"block at row %1: "_s.arg(first) + MatchListText::Marks();
        first = last;
    }
    return QString();
}

// Folders below /data/ as "a b".
QStringList Keys(const char *folders) {
    QStringList keys;
    for (const QString &folder : QString::fromLatin1(folders).split(u' ', Qt::SkipEmptyParts))
        keys << "/data/"_L1 + folder + u'/';
    return keys;
}

std::vector<FolderItem> Items(const QStringList &folders) {
    std::vector<FolderItem> items;
    for (const QString &folder : folders)
        items.push_back({folder, FolderDefault, 0});
    return items;
}

// Age, size, depth and copy as rule:points.
SelectionRules Rules(const QString &text) {
    SelectionRules rules;
    SelectionRule *pairs[] = {&rules.Age, &rules.Size, &rules.Depth, &rules.Copy};
    const QStringList parts = text.split(u' ');
    for (int k = 0; k < 4; ++k) {
        pairs[k]->Rule = quint8(parts[k].section(u':', 0, 0).toUInt());
        pairs[k]->Points = quint8(parts[k].section(u':', 1, 1).toUInt());
    }
    return rules;
}

struct KeepOnlyRow {
    const char *Name, *Files, *Marks;
    int Row;
    const char *Expected;
};
const KeepOnlyRow KeepOnlyRows[] = {
    {"the others of its block only", "a/1 a/2 b/3 | c/4 c/5", "SKSDS", 1, "DKDDS"},
    {"a deleted file stays deleted", "a/1 a/2 a/3", "SXD", 0, "KXD"},
    {"a virtual name is never marked", "a/1 a/2", "VS", 1, "VK"},
    {"not on a deleted file", "a/1 a/2", "XS", 0, "XS"},
    {"not on a virtual name", "a/1 a/2", "VS", 0, "VS"},
    {"another name of the kept file stays", "a/1#7 b/2#7 c/3#8", "DDS", 0, "KSD"},
    {"outside the list", "a/1 a/2", "SS", 2, "SS"},
};

// Folders to keep and to delete as "a b".
struct FolderRow {
    const char *Name, *Files, *Marks, *Keep, *Remove, *Expected;
};
const FolderRow FolderRows[] = {
    {"keep and delete folders", "a/1 b/2 c/3", "SSD", "a", "b", "KDD"},
    {"every folder to delete spares the first", "a/1 b/2 b/3", "SSS", "", "a b", "SDD"},
    {"the file marked by hand in an unlisted folder stays", "a/1 b/2 c/3", "SSD", "", "a b", "DDS"},
    {"of two marked by hand the later stays", "a/1 b/2 c/3", "DDS", "", "c", "DSD"},
    {"a file left alone in an unlisted folder is the copy", "a/1 b/2", "SS", "", "a", "DS"},
    {"a fixed file in a delete folder is marked", "a/1 b/2", "KS", "", "a", "DS"},
    {"deleted and virtual rows are no copy", "a/1 b/2 c/3", "XVS", "", "c", "XVS"},
    {"nothing left to spare", "a/1 b/2", "XV", "", "a b", "XV"},
    {"blocks apart", "a/1 b/2 | a/3 c/4", "SSSS", "c", "a b", "SDDK"},
    {"letter case tells folders apart", "Photos/1 photos/2", "SS", "", "photos", "SD"},
    {"another name of the only copy stays", "a/1#5 b/2#5 c/3", "SSS", "a", "b c", "KSD"},
    {"names of one file spare each other", "a/1#5 b/2#5", "SS", "", "a b", "SS"},
    {"a second kept file lets another name go", "a/1#5 b/2#5 c/3", "SSS", "a c", "b", "KDK"},
    {"no lists: a block without a copy gets one back", "a/1 b/2 | c/3 c/4", "DDSD", "", "", "DSSD"},
};

// Rules as age size depth copy, each rule:points.
const char *const Defaults = "1:5 1:3 0:1 1:1";
const char *const CopyOnly = "0:0 0:0 0:0 1:1";
struct PropertyRow {
    const char *Name, *Rules, *Files, *Marks, *Expected;
};
const PropertyRow PropertyRows[] = {
    {"defaults keep the newest", Defaults, "a/1@1 a/2@3 a/3@2", "SSS", "DSD"},
    {"the newest stays though its name is a copy", Defaults, "a/1@1 a/2-Kopie@3 a/3@2", "SSS",
     "DSD"},
    {"earlier marks are cleared first", Defaults, "a/1@1 a/2@3 | b/3@1 b/4@2", "SDDS", "DSDS"},
    {"a fixed file: all others go", Defaults, "a/1@1 a/2@3 a/3@2", "KSS", "KDD"},
    {"a fixed file, copy rule alone: the best of the others stays too", CopyOnly, "a/1 a/2 a/3(2)",
     "KSS", "KSD"},
    {"no points, no marks", CopyOnly, "a/1 a/2", "SS", "SS"},
    {"one candidate is left alone", Defaults, "a/1 a/2", "SX", "SX"},
    {"one candidate beside a fixed file", Defaults, "a/1 a/2", "KS", "KD"},
    {"one candidate beside a fixed file, copy rule alone", CopyOnly, "a/1 a/2(1)", "KS", "KS"},
    {"larger files go", "0:0 2:1 0:0 0:0", "a/1$10 a/2$30 a/3$20", "SSS", "SDD"},
    {"sizes beyond 2 GiB", "0:0 1:3 0:0 0:0", "a/1$3000000000 a/2$1000", "SS", "SD"},
    {"upper levels go", "0:0 0:0 1:1 0:0", "a/b/c/1 a/2 a/b/3", "SSS", "SDD"},
    {"deeper levels go", "0:0 0:0 2:1 0:0", "a/b/c/1 a/2 a/b/3", "SSS", "DSD"},
    {"a rule without points still orders ties", "1:0 1:1 0:0 0:0", "a/1@2 a/2@1", "SS", "SD"},
    {"the same without that rule", "0:0 1:1 0:0 0:0", "a/1@2 a/2@1", "SS", "DS"},
    {"deleted and virtual rows take no part", Defaults, "a/1@1 a/2@3 a/3@2 a/4@0", "SXSV", "DXSV"},
    {"another name of the file that stays stays", Defaults, "a/1@1#5 a/2@3#5 a/3@2", "SSS", "SSD"},
    {"another name of the fixed file stays", Defaults, "a/1#5 a/2#5 a/3", "KSS", "KSD"},
};
} // namespace

class TestSelectionUnit : public QObject {
    Q_OBJECT

private slots:
    void init() { ResetEngine(); }

    // ------------------------------------------------------------ row commands

    void keepOnlyThisFile_data() { TestSupport::AddRows(KeepOnlyRows); }
    void keepOnlyThisFile() {
        const KeepOnlyRow &row = KeepOnlyRows[TestSupport::Data<int>("row")];
        MatchListText::Fill(QLatin1String(row.Files), QLatin1String(row.Marks));
        QCOMPARE(KeepOnlyThisFile(row.Row), qstrcmp(row.Expected, row.Marks) != 0);
        QCOMPARE(MatchListText::Marks(), QLatin1String(row.Expected));
        QCOMPARE(BlockWithoutCopy(), QString());
    }

    void removeSelectionsFromHere_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("expected");
        QTest::newRow("from the first row") << 0 << "SSXSK";
        QTest::newRow("rest of the list") << 1 << "DSXSK";
        QTest::newRow("last row") << 4 << "DDXDK";
        QTest::newRow("no row selected") << -1 << "DDXDK";
    }
    void removeSelectionsFromHere() {
        QFETCH(int, row);
        QFETCH(QString, expected);
        MatchListText::Fill(u"a/1 a/2 a/3 | b/4 b/5"_s, u"DDXDK"_s);
        QCOMPARE(RemoveSelectionsFrom(row), expected != "DDXDK"_L1);
        QCOMPARE(MatchListText::Marks(), expected);
    }

    // ------------------------------------------------------------ folders

    void folderRule_data() { TestSupport::AddRows(FolderRows); }
    void folderRule() {
        const FolderRow &row = FolderRows[TestSupport::Data<int>("row")];
        MatchListText::Fill(QLatin1String(row.Files), QLatin1String(row.Marks));
        for (const QString &folder : Keys(row.Keep))
            SetFolderNoDelete(folder);
        for (const QString &folder : Keys(row.Remove))
            SetFolderToDelete(folder);
        ApplyFolderRule();
        QCOMPARE(MatchListText::Marks(), QLatin1String(row.Expected));
        QCOMPARE(BlockWithoutCopy(), QString());
    }

    void aFolderIsInOneListOnly() {
        SetFolderToDelete(u"/data/b/"_s);
        SetFolderToDelete(u"/data/a/"_s);
        SetFolderToDelete(u"/data/a/"_s);
        SetFolderNoDelete(u"/data/b/"_s);
        QCOMPARE(DeleteFolders(), QStringList{u"/data/a/"_s});
        QCOMPARE(KeepFolders(), QStringList{u"/data/b/"_s});
        SetFolderNoDelete(u"/data/a/"_s);
        QCOMPARE(DeleteFolders(), QStringList());
        QCOMPARE(KeepFolders(), (QStringList{u"/data/a/"_s, u"/data/b/"_s}));
    }

    void resultFoldersOnceEachInTheirStates() {
        MatchListText::Fill(u"b/1 a/2 A/3 | a/4 a/x/5 b/6"_s, u"SSSSXV"_s);
        SetFolderNoDelete(u"/data/a/"_s);
        SetFolderToDelete(u"/data/b/"_s);
        SetFolderToDelete(u"/data/gone/"_s);
        QStringList shown;
        for (const FolderItem &item : ResultFolders())
            shown << item.Folder + u' ' + QString::number(item.State);
        QCOMPARE(shown, (QStringList{"/data/A/ 2", "/data/a/ 3", "/data/a/x/ 2", "/data/b/ 4"}));
        // A confirmed dialog forgets what the result no longer shows.
        StoreFolderChoices(ResultFolders());
        QCOMPARE(KeepFolders(), QStringList{u"/data/a/"_s});
        QCOMPARE(DeleteFolders(), QStringList{u"/data/b/"_s});
        std::vector<FolderItem> items = ResultFolders();
        MarkAllFoldersToDelete(items);
        StoreFolderChoices(items);
        QCOMPARE(KeepFolders(), QStringList{u"/data/a/"_s});
        QCOMPARE(DeleteFolders(), (QStringList{"/data/A/", "/data/a/x/", "/data/b/"}));
        MarkNoFolderToDelete(items);
        StoreFolderChoices(items);
        QCOMPARE(DeleteFolders(), QStringList());
        QCOMPARE(KeepFolders(), QStringList{u"/data/a/"_s});
    }

    void hierarchyColors_data() {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QList<quint32>>("colors");
        QTest::newRow("two trees") << QStringList{"/a/", "/a/b/", "/c/", "/c/d/"}
                                   << QList<quint32>{0x40F4FF, 0x80F8FF, 0xFFF440, 0xFFF880};
        QTest::newRow("a sibling is not inside its neighbour")
            << QStringList{"/a/", "/a/b/", "/a/c/"} << QList<quint32>{0x40F4FF, 0x80F8FF, 0xFFF440};
        QTest::newRow("deep trees end in white")
            << QStringList{"/a/", "/a/b/", "/a/b/c/", "/a/b/c/d/", "/a/b/c/d/e/"}
            << QList<quint32>{0x40F4FF, 0x80F8FF, 0xC0FCFF, 0xFFFFFF, 0xFFFFFF};
        QTest::newRow("letter case counts")
            << QStringList{"/A/", "/a/b/"} << QList<quint32>{0x40F4FF, 0xFFF440};
    }
    void hierarchyColors() {
        QFETCH(QStringList, folders);
        std::vector<FolderItem> items = Items(folders);
        ApplyHierarchyColors(items);
        QList<quint32> colors;
        for (const FolderItem &item : items)
            colors << item.Color;
        QTEST(colors, "colors");
    }

    void subfolderButtons_data() {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("states");
        QTest::newRow("a tree") << 0 << "3323";
        QTest::newRow("a leaf") << 1 << "2323";
        QTest::newRow("no selection") << -1 << "2423";
    }
    void subfolderButtons() {
        QFETCH(int, selected);
        std::vector<FolderItem> items = Items({"/d/a/", "/d/a/b/", "/d/ab/", "/d/c/"});
        items[1].State = FolderToDelete;
        items[3].State = FolderNoDelete;
        SetStateWithSubfolders(items, selected, FolderNoDelete);
        QString states;
        for (const FolderItem &item : items)
            states += QString::number(item.State);
        QTEST(states, "states");
    }

    // ------------------------------------------------------------ properties

    void copyNumber_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("copy");
        QTest::newRow("(2)") << "letter (2).odt" << 2 << true;
        QTest::newRow("(12)") << "letter (12).odt" << 0 << false;
        QTest::newRow("(a)") << "letter (a).odt" << 0 << false;
        QTest::newRow("(0)") << "letter (0).odt" << 0 << false;
        QTest::newRow("only the first parenthesis") << "a (x) (3).odt" << 0 << false;
        QTest::newRow("first of two") << "a (1) (x).odt" << 1 << true;
        QTest::newRow("at the end") << "a (" << 0 << false;
        QTest::newRow("a digit of another script") << u"a (\u0663).txt"_s << 0 << false;
        QTest::newRow("copy") << "Copy of letter.odt" << 0 << true;
        QTest::newRow("Kopie") << "Brief - Kopie.odt" << 0 << true;
        QTest::newRow("bak") << "letter.bak" << 0 << true;
        QTest::newRow("TMP") << "letter.TMP" << 0 << true;
        QTest::newRow("part") << "film.mkv.part" << 0 << true;
        QTest::newRow("tilde") << "letter.~odt" << 0 << true;
        QTest::newRow("partial") << "film.partial" << 0 << false;
        QTest::newRow("plain") << "letter.odt" << 0 << false;
        QTest::newRow("dot file") << ".bak" << 0 << true;
    }
    void copyNumber() {
        QFETCH(QString, name);
        QTEST(CopyNumber(name), "number");
        QTEST(LooksLikeCopy(name), "copy");
    }

    void propertyRules_data() { TestSupport::AddRows(PropertyRows); }
    void propertyRules() {
        const PropertyRow &row = PropertyRows[TestSupport::Data<int>("row")];
        MatchListText::Fill(QLatin1String(row.Files), QLatin1String(row.Marks));
        for (int round = 0; round < 2; ++round) { // the same again changes nothing
            ApplyPropertyRules(Rules(QLatin1String(row.Rules)));
            QCOMPARE(MatchListText::Marks(), QLatin1String(row.Expected));
        }
        QCOMPARE(BlockWithoutCopy(), QString());
    }

    // A rule counts only with a kind and points both chosen.
    void aRuleNeedsAKindAndPoints() {
        QVERIFY(!Rules(u"1:0 0:5 2:0 0:1"_s).AnyActive());
        QVERIFY(Rules(u"0:0 0:0 2:1 0:0"_s).AnyActive());
    }

    // Whatever the marks, names and folder choices, no selection leaves a
    // file marked for deletion without another file that stays.
    void noSelectionLeavesABlockWithoutACopy() {
        QRandomGenerator random(2024);
        for (int round = 0; round < 300; ++round) {
            QString files, marks;
            const int blocks = 1 + int(random.bounded(4));
            for (int b = 0; b < blocks; ++b) {
                files += b ? u" | "_s : QString();
                const int size = 2 + int(random.bounded(4));
                for (int k = 0; k < size; ++k) {
                    files += u"%1/f%2@%3$%4#%5 "_s.arg(QChar(u'a' + random.bounded(3)))
                                 .arg(b * 10 + k)
                                 .arg(random.bounded(3))
                                 .arg(random.bounded(2))
                                 .arg(random.bounded(3));
                    marks += QLatin1Char("XSSKDDV"[random.bounded(7)]);
                }
            }
            MatchListText::Fill(files, marks);
            ResetSelections();
            for (const char *folder : {"/data/a/", "/data/b/", "/data/c/"}) {
                const quint32 choice = random.bounded(3);
                if (choice == 1)
                    SetFolderToDelete(QLatin1String(folder));
                else if (choice == 2)
                    SetFolderNoDelete(QLatin1String(folder));
            }
            ApplyFolderRule();
            QCOMPARE(BlockWithoutCopy(), QString());
            KeepOnlyThisFile(int(random.bounded(quint32(MatchList().size()))));
            QCOMPARE(BlockWithoutCopy(), QString());
            MatchListText::Fill(files, marks);
            ApplyPropertyRules(Rules(u"%1:%2 %3:1 %4:1 %5:1"_s.arg(random.bounded(3))
                                         .arg(random.bounded(2))
                                         .arg(random.bounded(3))
                                         .arg(random.bounded(3))
                                         .arg(random.bounded(2))));
            QCOMPARE(BlockWithoutCopy(), QString());
        }
    }
};

QTEST_MAIN(TestSelectionUnit)
#include "TestSelectionUnit.moc"
