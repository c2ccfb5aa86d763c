#include "search/FileSearchUnit.h"

#include "TestSupport.h"

#include <QRandomGenerator>
#include <QTest>

#include <memory>
#include <sys/stat.h>

using namespace TestSupport;

namespace {
QStringList TableTexts(bool sorted = false) {
    QStringList texts;
    for (const FileEntry &entry : FileTable())
        texts.append(entry.Text);
    if (sorted)
        texts.sort();
    return texts;
}

const FileRecord *RecordOf(const QString &text) {
    for (const FileEntry &entry : FileTable())
        if (entry.Text == text)
            return entry.Record.get();
    qFatal("no entry %s", qPrintable(text));
}
} // namespace

class TestFileSearchUnit : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> S;

    void ScanRoot() {
        Context().CommonBaseFolder = S->Root;
        ScanFolder(S->Root);
    }

private slots:
    // The fast comparison orders exactly as Qt's, also where ASCII meets
    // letters with accents, sharp s, surrogate pairs and upper-case signs.
    void caseInsensitiveOrderIsQts() {
        const QStringList pieces{"a",          "A",          "z",         "Z",      "_",
                                 "[",          "`",          "{",         "~",      " ",
                                 ".",          "0",          "\u00e9",    "\u00c9", "\u00df",
                                 "\u1e9e",     "\u0130",     "\u03a3",    "\u03c3", "\u03c2",
                                 "\U0001F600", "\U00010400", "\U00010428"};
        QRandomGenerator random(7);
        const auto text = [&] {
            QString made;
            for (int k = int(random.bounded(6)); k > 0; --k)
                made += pieces[int(random.bounded(qsizetype(pieces.size())))];
            return made;
        };
        for (int k = 0; k < 20000; ++k) {
            const QString a = text(), b = random.bounded(4) ? text() : a.toUpper();
            const int expected = a.compare(b, Qt::CaseInsensitive);
            const int got = CompareCaseInsensitive(a, b);
            QVERIFY2((expected < 0) == (got < 0) && (expected > 0) == (got > 0),
                     qPrintable(a + QStringLiteral(" / ") + b));
        }
    }

    void init() { S = std::make_unique<Scratch>(); }
    void cleanup() { S.reset(); }

    // Sizes are 64 bits: files of 2 GiB and more are as welcome as any (sparse
    // here, so the test writes nothing); only empty files are left out.
    void everyFileFromOneByteOnIsAdmitted() {
        S->Write("empty", {});
        const QString one = S->Write("one", "x");
        for (const auto &[name, size] :
             {std::pair{"two-gib", qint64(1) << 31}, std::pair{"five-gib", qint64(5) << 30}}) {
            QFile file(S->Root + name);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size));
        }
        ScanRoot();
        QCOMPARE(TableTexts(true), (QStringList{"five-gib", "one", "two-gib"}));
        QCOMPARE(RecordOf("five-gib")->Size, qint64(5) << 30);
        QCOMPARE(Platform::UnixMsecsFromFileTime(RecordOf("one")->WriteTime),
                 QFileInfo(one).lastModified().toMSecsSinceEpoch());
    }

    void readOnlyFilesAndSystemFoldersAreProtected() {
        QCOMPARE(::chmod(Platform::EncodeName(S->Write("locked", "x")).constData(), 0444), 0);
        for (const char *name : {"free", "sys/deep/a", "prog/b", "system/c"})
            S->Write(name, name);
        Context().SystemFolderKeys = {S->Root + "sys/"};
        Context().ProgramFolderKeys = {S->Root + "prog/"};
        ScanRoot();
        QCOMPARE(RecordOf("locked")->Attributes & Platform::AttrReadOnly, Platform::AttrReadOnly);
        for (const char *name : {"locked", "sys/deep/a", "prog/b"})
            QCOMPARE(RecordOf(name)->Mark, quint8(StayNoDelete));
        for (const char *name : {"free", "system/c"}) // "system/" only shares the prefix
            QCOMPARE(RecordOf(name)->Mark, quint8(Stay));
    }

    void foldersAreWalkedDepthFirstInLocaleOrder() {
        for (const char *name : {"top", "b/in-b", "A/in-A", "A/z/in-Az", "a2/in-a2"})
            S->Write(name, name);
        ScanRoot();
        QCOMPARE(TableTexts(), (QStringList{"top", "A/in-A", "A/z/in-Az", "a2/in-a2", "b/in-b"}));
    }

    void linksAreNeverFollowedNorFifosOpened() {
        S->Write("real/file.txt", "r");
        S->Write("other/x.txt", "x");
        const QByteArray root = Platform::EncodeName(S->Root);
        QCOMPARE(::symlink("../real/file.txt", (root + "other/file-link").constData()), 0);
        QCOMPARE(::symlink("../real", (root + "other/folder-link").constData()), 0);
        QCOMPARE(::symlink("..", (root + "real/loop").constData()), 0);
        QCOMPARE(::symlink(root.constData(), (root + "real/absolute-loop").constData()), 0);
        QCOMPARE(::symlink("nowhere", (root + "dangling").constData()), 0);
        QVERIFY(MakeFifo(S->Root + "fifo"));
        ScanRoot(); // opening the FIFO would block here
        QCOMPARE(TableTexts(true), (QStringList{"other/x.txt", "real/file.txt"}));
    }

    void awkwardNamesAreFoundAsExactlyThatFile() {
        // Names that differ only where a lossy conversion would merge them.
        const QList<QByteArray> names = {
            "new\nline",        "tab\there",  "-leading-dash",   "raw\xff",
            "raw\xfe",          "raw?",       "raw\xef\xbf\xbd", "surrogate\xed\xb2\x80",
            "overlong\xc0\xaf", "back\\slash"};
        QString longFolder;
        for (int k = 0; k < 14; ++k)
            longFolder += QString(200, QChar(u'a' + k)) + QLatin1Char('/');
        QHash<QString, QByteArray> expected{{longFolder + "deep", "deep"}};
        for (const QByteArray &name : names) {
            QCOMPARE(Platform::EncodeName(Platform::DecodeName(name)), name);
            expected.insert(Platform::DecodeName(name), name);
        }
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            S->Write(it.key(), it.value());
        ScanRoot();
        QCOMPARE(int(FileTable().size()), int(expected.size()));
        for (const FileEntry &entry : FileTable()) {
            QVERIFY2(expected.contains(entry.Text), qPrintable(entry.Text));
            S->Write("copy", expected.value(entry.Text));
            QCOMPARE(FilesEqual(FullPathOf(entry), S->Root + "copy", entry.Record->Size),
                     ByteComparison::Equal);
            QCOMPARE(ComputeQuickSum(FullPathOf(entry)), ComputeQuickSum(S->Root + "copy"));
        }
        S->Write("copy", "raw\xfe");
        QCOMPARE(FilesEqual(S->Root + Platform::DecodeName("raw\xff"), S->Root + "copy", 4),
                 ByteComparison::Different);
    }

    void certainFileGoesToTheFront() {
        const QString existing = S->Write("certain.txt", "12345");
        ScanRoot();
        QVERIFY(!AddCertainFile(S->Root + "missing.txt", true)); // a content search needs the file
        QVERIFY(AddCertainFile(existing, true));
        QCOMPARE(FileTable()[0].Record->Size, 5);
        QVERIFY(
            AddCertainFile(QStringLiteral("certain.txt"), true)); // a bare name is never looked up
        QCOMPARE(FileTable()[0].Record->Mark, quint8(Virtual));
        QCOMPARE(TableTexts(), (QStringList{"certain.txt", existing, "certain.txt"}));
    }
};

QTEST_GUILESS_MAIN(TestFileSearchUnit)
#include "TestFileSearchUnit.moc"
