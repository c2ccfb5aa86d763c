#include "lang/MultiLingua.h"
#include "lang/SelfLoadSectionsUnit.h"
#include "lang/WideSLUnit.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
QByteArray Utf16(const QString &text, bool mark = true) {
    QByteArray bytes = mark ? QByteArray("\xFF\xFE", 2) : QByteArray();
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

void WriteAll(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray ReadAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TWStringList Lines(const QString &text) {
    TWStringList lines;
    SetWideText(lines, text);
    return lines;
}

// A fake program: some image bytes and then the section area.
QByteArray Program(const QByteArray &tableContent) {
    return QByteArray("\x7F"
                      "ELF program image",
                      18) +
           BuildSection(QLatin1String(BeginningMarkSection), QByteArray()) +
           BuildSection("Section:Other", "xyz") +
           BuildSection(QLatin1String(PhraseTableSection), tableContent);
}
} // namespace

class TestSelfLoadSectionsUnit : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;

private slots:
    void init() { ResetPhraseSystem(); }
    void cleanup() {
        ResetPhraseSystem();
        ResetSections();
        SetFileSizeProbe(nullptr);
    }

    void markerScramblesName() {
        QCOMPARE(SectionMarker("AB"), QByteArray("\xF7\xE2\xE1\xF7"));
        QCOMPARE(BuildSection("A", "xy"), QByteArray("\xF7\xE2\xF7\x02\x00\x00\x00xy", 9));
    }

    void sectionsAreFoundBehindTheImage() {
        const QString path = Dir.filePath("prog");
        WriteAll(path, Program(Utf16("DE=Tipps\r\nEN=Tips\r\n")));
        SetProgramFileForTests(path);
        QByteArray content;
        QVERIFY(!GetSection("Section:Other", {}, content)); // nothing read yet
        LoadSections();
        QCOMPARE(ProgramPartSize(), qint64(18)); // "\x7FELF program image"
        QVERIFY(GetSection("Section:Other", SectionArea(), content));
        QCOMPARE(content, QByteArray("xyz"));
        QVERIFY(!GetSection("Section:Missing", SectionArea(), content));
        LoadPhraseTable(false);
        QCOMPARE(PhraseTable()->Groups.size(), size_t(1));
        QCOMPARE(Translate("Tipps", "DE", "EN"), QStringLiteral("Tips"));
    }

    void lengthPastTheEndGivesWhatIsThere() {
        const QString path = Dir.filePath("cut");
        QByteArray bytes = Program(Utf16("DE=Tipps\r\nEN=Tips\r\n"));
        bytes.chop(4); // "\r\n" of the last line is gone, the length still claims it
        WriteAll(path, bytes);
        SetProgramFileForTests(path);
        LoadSections();
        QByteArray content;
        QVERIFY(GetSection(QLatin1String(PhraseTableSection), SectionArea(), content));
        QCOMPARE(content, Utf16("DE=Tipps\r\nEN=Tips"));

        WriteAll(path, QByteArray("image") + SectionMarker(QLatin1String(BeginningMarkSection)) +
                           "\x01\x02");
        SetProgramFileForTests(path);
        LoadSections();
        QVERIFY(!GetSection(QLatin1String(BeginningMarkSection), SectionArea(), content));
    }

    void withoutSectionTheLngFileIsRead() {
        const QString path = Dir.filePath("plain.bin");
        WriteAll(path, "just a program image");
        WriteAll(Dir.filePath("plain.lng"), Utf16("DE=Tipps\r\nFR=Astuces\r\n"));
        SetProgramFileForTests(path);
        LoadPhraseTable(false);
        QCOMPARE(SectionArea().size(), 0);
        QCOMPARE(Translate("Tipps", "DE", "FR"), QStringLiteral("Astuces"));
    }

    void unreadableSourcesLeaveTableEmpty() {
        SetProgramFileForTests(Dir.filePath("missing-program"));
        LoadPhraseTable(false);
        QVERIFY(PhraseTable()->Groups.empty());

        const QString path = Dir.filePath("big");
        WriteAll(path, Program(Utf16("DE=Tipps\r\nEN=Tips\r\n")));
        SetFileSizeProbe([](const QString &) { return qint64(1) << 32; });
        SetProgramFileForTests(path);
        LoadPhraseTable(false);
        QVERIFY(PhraseTable()->Groups.empty());
    }

    void otherUnicodeFormsGiveEmptyTable() {
        const QString path = Dir.filePath("be");
        WriteAll(path, Program(QByteArray("\xFE\xFF\x00"
                                          "D\x00"
                                          "E",
                                          6)));
        SetProgramFileForTests(path);
        LoadPhraseText(PhraseTable(), "DE=x\nEN=y", false);
        LoadPhraseTable(false);
        QVERIFY(PhraseTable()->Groups.empty());
    }

    void phraseFiles() {
        const QString path = Dir.filePath("t.lng");
        WriteAll(path, "DE=Tipps\rEN=Tips\n\rDE=Abgebrochen\r\nEN=Cancelled\n\nDE=x");
        QVERIFY(LoadPhraseFile(PhraseTable(), path, false));
        QCOMPARE(PhraseTable()->Groups.size(), size_t(3));
        QCOMPARE(PhraseTable()->Groups[1]->Texts, (QStringList{"Abgebrochen", "Cancelled"}));

        // A UTF-16 file cut in the middle of a character keeps what is whole.
        WriteAll(path, Utf16("DE=Tipps\r\nEN=Tips").chopped(1));
        QVERIFY(LoadPhraseFile(PhraseTable(), path, false));
        QCOMPARE(PhraseTable()->Groups[0]->Texts, (QStringList{"Tipps", "Tip"}));

        WriteAll(path, QByteArray());
        QVERIFY(!LoadPhraseFile(PhraseTable(), path, false));
        QCOMPARE(PhraseTable()->Groups.size(), size_t(1)); // kept
        WriteAll(path, "\xEF\xBB\xBF"
                       "DE=x\r\n");
        QVERIFY(!LoadPhraseFile(PhraseTable(), path, false));
    }

    void groupLines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isRow");
        QTest::addColumn<int>("id");
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("id comment")
            << "// ID=5;\nDE=Tipps" << true << 5 << QStringList{"DE"} << QStringList{"Tipps"};
        QTest::newRow("no blank after slashes")
            << "//ID=5;\nDE=Tipps" << true << 0 << QStringList{"DE"} << QStringList{"Tipps"};
        QTest::newRow("id item ignores case")
            << "// x=1; id=12;\nDE=a" << true << 12 << QStringList{"DE"} << QStringList{"a"};
        QTest::newRow("id in key")
            << "DE7=Text" << true << 7 << QStringList{"DE"} << QStringList{"Text"};
        QTest::newRow("lower key, blanks")
            << "de = Text " << true << 0 << QStringList{"DE"} << QStringList{"Text"};
        QTest::newRow("empty key")
            << "=Text\nDE=a" << true << 0 << QStringList{"DE"} << QStringList{"a"};
        QTest::newRow("long key") << "GERMAN=Text\nDE=a" << true << 0 << QStringList{"DE"}
                                  << QStringList{"a"};
        QTest::newRow("no equals")
            << "Text ohne\nDE=a" << true << 0 << QStringList{"DE"} << QStringList{"a"};
        QTest::newRow("empty text counts")
            << "XX=" << true << 0 << QStringList{"XX"} << QStringList{""};
        QTest::newRow("three letters")
            << "DE=a\nDEU=b" << true << 0 << QStringList{"DE", "DEU"} << QStringList{"a", "b"};
        QTest::newRow("comments only")
            << "// eins\n// ID=3;" << false << 3 << QStringList{} << QStringList{};
        QTest::newRow("value keeps later equals")
            << "EN=a=b" << true << 0 << QStringList{"EN"} << QStringList{"a=b"};
    }

    void groupLines() {
        QFETCH(QString, text);
        QFETCH(bool, isRow);
        QFETCH(int, id);
        QFETCH(QStringList, codes);
        QFETCH(QStringList, texts);
        tMLGroup row;
        row.Owner = PhraseTable();
        int index = 0;
        QCOMPARE(ReadGroup(row, Lines(text), index, false), isRow);
        QCOMPARE(row.Id, id);
        QStringList found;
        for (const auto &info : PhraseTable()->Languages)
            found << info->Code;
        QCOMPARE(found, codes);
        QCOMPARE(row.Texts, texts);
    }

    void blankLinesMakeNoRows() {
        LoadPhraseText(PhraseTable(), "\n  \n// c\nDE=a\nEN=b\n\n\n \t\nDE=c\n\n\n", false);
        QCOMPARE(PhraseTable()->Groups.size(), size_t(2));
        QCOMPARE(PhraseTable()->Groups[0]->Comment, QStringLiteral("// c"));
    }

    void saveAllPhrases() {
        LoadPhraseText(PhraseTable(),
                       "// ID=1;\nDE=Eins\nEN=One\nHU=Egy\nFR=Un\n\n"
                       "// note\n// newer note\nDE=Zwei\nEN=Two\n FR =  Deux \nABC=drei\n\n"
                       "DE=Drei\nFR=\n",
                       true);
        PhraseTable()->CurrentCode = "FR";
        const QString path = Dir.filePath("all.txt");
        QVERIFY(SavePhrases(PhraseTable(), false, path));
        QCOMPARE(ReadAll(path), Utf16("// ID=1;\r\nDE=Eins\r\nEN=One\r\nFR=Un\r\n\r\n"
                                      "// newer note\r\nDE=Zwei\r\nEN=Two\r\nFR =  Deux\r\n"
                                      "ABC=drei\r\n\r\nDE=Drei\r\n\r\n"));
    }

    void saveNewPhrases() {
        LoadPhraseText(PhraseTable(), "DE=Eins\nEN=One\nFR=Un\n\nDE=Zwei\nEN=Two\n", true);
        PhraseTable()->CurrentCode = "FR";
        const QString path = Dir.filePath("new.txt");
        QVERIFY(SavePhrases(PhraseTable(), true, path));
        QCOMPARE(ReadAll(path), Utf16("DE=Zwei\r\nEN=Two\r\n\r\n"));

        PhraseTable()->CurrentCode = "DE";
        QVERIFY(SavePhrases(PhraseTable(), true, path));
        QCOMPARE(ReadAll(path), QByteArray());

        QString error;
        QVERIFY(!SavePhrases(PhraseTable(), false, Dir.filePath("no/folder/x.txt"), &error));
        QVERIFY(!error.isEmpty());
    }

    void rowsWithoutSourceLinesAreNotSaved() {
        LoadPhraseText(PhraseTable(), "DE=Eins\nEN=One\n", false);
        QCOMPARE(BuildSaveLines(PhraseTable(), QString()).Count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSelfLoadSectionsUnit)
#include "TestSelfLoadSectionsUnit.moc"
