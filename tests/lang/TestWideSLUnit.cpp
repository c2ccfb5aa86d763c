#include "lang/WideSLUnit.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
QByteArray Hex(const char *hex) {
    return QByteArray::fromHex(hex);
}

QByteArray ReadAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
} // namespace

class TestWideSLUnit : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetFileSizeProbe(nullptr); }

    void byteOrderMarks_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("length");
        QTest::newRow("none") << Hex("41424344") << 0 << 0;
        QTest::newRow("utf-8") << Hex("efbbbf41") << 1 << 3;
        QTest::newRow("utf-16le") << Hex("fffe4100") << 2 << 2;
        QTest::newRow("utf-16be") << Hex("feff0041") << 3 << 2;
        QTest::newRow("utf-32le wins over utf-16le") << Hex("fffe0000") << 4 << 4;
        QTest::newRow("utf-32be") << Hex("0000feff") << 5 << 4;
        QTest::newRow("utf-16le in two bytes") << Hex("fffe") << 2 << 2;
        QTest::newRow("one byte is too short") << Hex("ff") << 0 << 0;
    }

    void byteOrderMarks() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, kind);
        QFETCH(int, length);
        const ByteOrderMark mark = DetectByteOrderMark(bytes);
        QCOMPARE(mark.Kind, kind);
        QCOMPARE(mark.Length, length);
    }

    void utf16Lines_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("defaultKind");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("CR LF") << Hex("fffe41000d000a004200") << 0 << 0 << QStringList{"A", "B"};
        QTest::newRow("CR CR gives an empty line")
            << Hex("fffe41000d000d004200") << 0 << 0 << QStringList{"A", "", "B"};
        QTest::newRow("LF CR is one break")
            << Hex("fffe41000a000d004200") << 0 << 0 << QStringList{"A", "B"};
        QTest::newRow("final CR LF adds no line")
            << Hex("fffe41000d000a0042000d000a00") << 0 << 0 << QStringList{"A", "B"};
        QTest::newRow("odd trailing byte ignored")
            << Hex("fffe410042") << 0 << 0 << QStringList{"A"};
        QTest::newRow("no mark, default UTF-16")
            << Hex("41000a004200") << 2 << 0 << QStringList{"A", "B"};
        QTest::newRow("no mark, no default") << Hex("41000a00") << 0 << 1 << QStringList{};
        QTest::newRow("utf-8 mark unsupported") << Hex("efbbbf41") << 0 << 2 << QStringList{};
        QTest::newRow("0x0D00 is no break")
            << Hex("fffe000d4100") << 0 << 0 << QStringList{QString(QChar(0x0D00)) + "A"};
        QTest::newRow("empty buffer") << QByteArray() << 0 << 0 << QStringList{};
    }

    void utf16Lines() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, defaultKind);
        QFETCH(int, result);
        QFETCH(QStringList, lines);
        TWStringList wide;
        QCOMPARE(SplitUtf16Lines(bytes.constData(), bytes.size(), defaultKind, wide), result);
        QCOMPARE(wide.ToStringList(), lines);
        QStringList narrow;
        QCOMPARE(SplitUtf16Lines8(bytes.constData(), bytes.size(), defaultKind, narrow), result);
        QCOMPARE(narrow, lines);
    }

    void saveWithMarkIsByteExact() {
        QTemporaryDir dir;
        TWStringList list;
        list.Add("A");
        list.Add("B");
        const QString path = dir.filePath("t.lng");
        QVERIFY(list.SaveToFile(path, true));
        QCOMPARE(ReadAll(path), Hex("fffe41000d000a0042000d000a00"));

        TWStringList empty;
        QVERIFY(empty.SaveToFile(path, true));
        QCOMPARE(ReadAll(path), QByteArray());
    }

    void loadFromFileByEncoding() {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.lng");
        TWStringList list;
        WriteAll(path, Hex("fffe41000d000a00e4000d000a00"));
        QVERIFY(list.LoadFromFile(path));
        QCOMPARE(list.ToStringList(), (QStringList{"A", "ä"}));

        WriteAll(path, QByteArray("DE=Tipps\r\nEN=Tips\n\xc3\xa4"));
        QVERIFY(list.LoadFromFile(path));
        QCOMPARE(list.ToStringList(), (QStringList{"DE=Tipps", "EN=Tips", "ä"}));

        WriteAll(path, QByteArray("\xef\xbb\xbf"
                                  "DE=Tipps"));
        QVERIFY(!list.LoadFromFile(path));
        WriteAll(path, QByteArray());
        QVERIFY(!list.LoadFromFile(path));
        QVERIFY(!list.LoadFromFile(dir.filePath("missing")));
    }

    void sortedListIgnoresDuplicates() {
        TWStringList list;
        list.SetSorted(true);
        list.Add("b");
        list.Add("A");
        list.Add("B");
        QCOMPARE(list.ToStringList(), (QStringList{"A", "b"}));
        list.SetCaseSensitive(true);
        list.Add("B");
        QCOMPARE(list.Count(), 3);
        list.Insert(0, "ignored while sorted");
        QCOMPARE(list.Count(), 3);
    }

    void wideTextRoundTrip() {
        TWStringList list;
        SetWideText(list, QStringLiteral("eins\r\nzwei\rdrei\n"));
        QCOMPARE(list.ToStringList(), (QStringList{"eins", "zwei", "drei"}));
        QCOMPARE(GetWideText(list, true), QStringLiteral("\uFEFFeins\r\nzwei\r\ndrei\r\n"));
        QCOMPARE(GetWideText(TWStringList(), true), QString());
    }

    void bytesToWide() {
        QCOMPARE(BytesToWide(Hex("efbbbfc3a4")), QStringLiteral("ä"));
        QCOMPARE(BytesToWide(Hex("fffe4100420043")), QStringLiteral("AB"));
        QCOMPARE(BytesToWide(Hex("41004200")), QStringLiteral("AB"));
        QCOMPARE(BytesToWide(Hex("feff00410042")), QString());
        QCOMPARE(BytesToWide(Hex("fffe000041000000")), QString());
    }

    void codePages() {
        QCOMPARE(AnsiToWide(QByteArray("\x80\xe4"), CodePageWindows1252), QStringLiteral("€ä"));
        QCOMPARE(WideToAnsi(QStringLiteral("€ä✓"), CodePageWindows1252), QByteArray("\x80\xe4?"));
        QCOMPARE(WideToAnsi(QStringLiteral("Übereinstimmung"), SystemCodePage()),
                 QStringLiteral("Übereinstimmung").toUtf8());
        QCOMPARE(AnsiToWide(QByteArray("a\xcc\x88"), CodePageUtf8), QStringLiteral("ä"));
        QCOMPARE(WideToAnsi(QString(), CodePageUtf8), QByteArray());
    }

    void readFileToStringLimits() {
        QTemporaryDir dir;
        const QString path = dir.filePath("f");
        WriteAll(path, "0123456789");
        QByteArray bytes;
        QVERIFY(ReadFileToString(path, 0, bytes));
        QCOMPARE(bytes, QByteArray("0123456789"));
        QVERIFY(ReadFileToString(path, 4, bytes));
        QCOMPARE(bytes, QByteArray("0123"));
        QVERIFY(!ReadFileToString(dir.filePath("missing"), 0, bytes));
        WriteAll(path, "");
        QVERIFY(!ReadFileToString(path, 0, bytes));
        QVERIFY(!ReadFileToString(dir.path(), 0, bytes));

        WriteAll(path, "data");
        SetFileSizeProbe([](const QString &) { return qint64(1) << 32; });
        QVERIFY(!ReadFileToString(path, 0, bytes));
        QVERIFY(bytes.isEmpty());
        SetFileSizeProbe([](const QString &) { return qint64(100); });
        QVERIFY(!ReadFileToString(path, 0, bytes)); // claims more than the file holds
    }

    void textFiles() {
        QTemporaryDir dir;
        const QString path = dir.filePath("s.ini");
        QStringList lines;
        QCOMPARE(LoadTextFile(path, lines), int(TextFileMissing));
        const QStringList written{"Language=FR", "TipWindow=0", "Größe=ü"};
        QVERIFY(SaveTextFile(&written, path));
        QCOMPARE(ReadAll(path), QByteArray("Language=FR\r\nTipWindow=0\r\nGr\xc3\xb6\xc3\x9f"
                                           "e=\xc3\xbc\r\n"));
        QCOMPARE(LoadTextFile(path, lines), int(TextLoaded));
        QCOMPARE(lines, written);

        WriteAll(path, Hex("fffe41003d0031000d000a00"));
        QCOMPARE(LoadTextFile(path, lines), int(TextLoaded));
        QCOMPARE(lines, QStringList{"A=1"});
        WriteAll(path, QByteArray("\xef\xbb\xbfLanguage=FR\r\n"));
        QCOMPARE(LoadTextFile(path, lines), int(TextFileUnreadable));
        QCOMPARE(LoadTextFile(dir.path(), lines), int(TextFileUnreadable));
        QVERIFY(SaveTextFile(nullptr, path));
    }

    void largeTextFileIsWrittenWhole() {
        QTemporaryDir dir;
        QStringList lines;
        for (int k = 0; k < 20000; ++k)
            lines.append(QStringLiteral("Name%1=%1").arg(k));
        const QString path = dir.filePath("big.ini");
        QVERIFY(SaveTextFile(&lines, path));
        QStringList back;
        QCOMPARE(LoadTextFile(path, back), int(TextLoaded));
        QCOMPARE(back, lines);
    }

    void missingFolderFails() {
        QTemporaryDir dir;
        const QStringList lines{"a=1"};
        QVERIFY(!SaveTextFile(&lines, dir.filePath("no/such/folder/s.ini")));
    }
};

QTEST_GUILESS_MAIN(TestWideSLUnit)
#include "TestWideSLUnit.moc"
