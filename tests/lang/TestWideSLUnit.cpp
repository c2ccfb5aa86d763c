// Text encodings: the one Windows-1252 table, and writing text files whole.

#include "lang/WideSLUnit.h"

#include "TestSupport.h"

using namespace TestSupport;

namespace {
struct CodeRow {
    const char *Name;
    char16_t Character;
    char Byte;
};
const CodeRow CodeRows[] = {
    {"y diaeresis, the last byte", 0x00FF, '\xFF'},
    {"Y diaeresis, the table's last", 0x0178, '\x9F'},
    {"euro, the table's first", 0x20AC, '\x80'},
    {"no-break space", 0x00A0, '\xA0'},
    {"A macron, outside the page", 0x0100, '?'},
    {"control where the page has none", 0x0081, '?'},
};
} // namespace

class TestWideSLUnit : public QObject {
    Q_OBJECT

private slots:
    void windows1252_data() { AddRows(CodeRows); }
    void windows1252() {
        const CodeRow &row = CodeRows[Data<int>("row")];
        QCOMPARE(Windows1252Byte(row.Character), row.Byte);
        if (row.Byte != '?')
            QCOMPARE(Windows1252Char(quint8(row.Byte)), QChar(row.Character));
        // The 8-bit conversions use the same table.
        QCOMPARE(WideToAnsi(QString(QChar(row.Character)), CodePageWindows1252),
                 QByteArray(1, row.Byte));
    }

    void textFileIsWrittenWhole() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("dupliscan.ini"));
        QStringList lines;
        for (int k = 0; k < 8000; ++k) // more than one chunk
            lines.append(QStringLiteral("Name%1=Wert ä").arg(k));
        QString error;
        QVERIFY(SaveTextFile(&lines, path, &error));
        QStringList read;
        QCOMPARE(LoadTextFile(path, read), int(TextLoaded));
        QCOMPARE(read, lines);
        QVERIFY(ReadAll(path).endsWith("Name7999=Wert \xC3\xA4\r\n"));
        QVERIFY(!SaveTextFile(&lines, dir.filePath(QStringLiteral("missing/x.ini")), &error));
        QCOMPARE(error, QStringLiteral("No such file or directory"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("dupliscan.ini")});
    }

    // The read-only mark is the user's word: the file and its mark stay.
    void readOnlyTextFileIsRefused() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("dupliscan.ini"));
        QVERIFY(WriteFile(path, "Language=DE\r\n"));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
        const QStringList lines{QStringLiteral("Language=EN")};
        QString error;
        QVERIFY(!SaveTextFile(&lines, path, &error));
        QCOMPARE(error, QStringLiteral("Permission denied"));
        QCOMPARE(ReadAll(path), QByteArray("Language=DE\r\n"));
        QCOMPARE(QFileInfo(path).permissions() & ~QFile::Permissions(0x0F00),
                 QFile::ReadOwner | QFile::ReadGroup);
    }
};

QTEST_GUILESS_MAIN(TestWideSLUnit)
#include "TestWideSLUnit.moc"
