#include "lang/IniDatei.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
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

class TestIniDatei : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;
    QString Path;

private slots:
    void init() {
        Path = Dir.filePath(QStringLiteral("dupliscan.ini"));
        QFile::remove(Path);
        SetSettingsPath(Path);
    }
    void cleanup() { ResetSettings(); }

    void nameMustStandDirectlyBeforeEquals() {
        WriteAll(Path, "language=FR\r\n");
        QCOMPARE(ReadSetting("Language"), QStringLiteral("FR"));
        SetSettingsPath(Path);
        WriteAll(Path, "Language = FR\r\n");
        QCOMPARE(ReadSetting("Language"), QString());
        QCOMPARE(ReadSetting("Language "), QStringLiteral(" FR"));
    }

    void valueIsEverythingAfterFirstEquals() {
        WriteAll(Path, "A=b=c\r\nA=second\r\n");
        QCOMPARE(ReadSetting("a"), QStringLiteral("b=c"));
    }

    void sameValueLeavesFileAlone() {
        WriteAll(Path, "Language=FR\r\n");
        WriteSetting("Language", "FR");
        QVERIFY(!SettingsModified());
        WriteAll(Path, "changed by hand\r\n");
        SaveSettings();
        QCOMPARE(ReadAll(Path), QByteArray("changed by hand\r\n"));
    }

    void changesAreWrittenOnceAtTheEnd() {
        WriteAll(Path, "TipWindow=0\r\nLanguage=DE\r\nOther=x\r\n");
        WriteSetting("language", "HU");
        WriteSetting("TipWindow", "");
        QVERIFY(SettingsModified());
        QCOMPARE(ReadAll(Path), QByteArray("TipWindow=0\r\nLanguage=DE\r\nOther=x\r\n"));
        SaveSettings();
        QVERIFY(!SettingsModified());
        QCOMPARE(ReadAll(Path), QByteArray("language=HU\r\nOther=x\r\n"));
    }

    void missingFileStartsEmptyList() {
        QCOMPARE(ReadSetting("Language"), QString());
        WriteSetting("Language", "EN");
        SaveSettings();
        QCOMPARE(ReadAll(Path), QByteArray("Language=EN\r\n"));
    }

    void utf16FileIsRead() {
        WriteAll(Path, QByteArray::fromHex("fffe") +
                           QByteArray("L\0a\0n\0g\0u\0a\0g\0e\0=\0E\0L\0\r\0\n\0", 26));
        QCOMPARE(ReadSetting("Language"), QStringLiteral("EL"));
        WriteSetting("TipWindow", "0");
        SaveSettings();
        QCOMPARE(ReadAll(Path), QByteArray("Language=EL\r\nTipWindow=0\r\n"));
    }

    void unreadableFileIsNeverReplaced() {
        const QByteArray mine("\xef\xbb\xbfLanguage=FR\r\nFilenames.CompareMaxLength=20\r\n");
        WriteAll(Path, mine);
        QCOMPARE(ReadSetting("Language"), QString());
        WriteSetting("Language", "HU");
        QCOMPARE(ReadSetting("Language"), QStringLiteral("HU"));
        SaveSettings();
        QCOMPARE(ReadAll(Path), mine);
    }

    void unwritableFolderLosesNothing() {
        SetSettingsPath(Dir.filePath("missing-folder/dupliscan.ini"));
        WriteSetting("Language", "EN");
        SaveSettings();
        QVERIFY(SettingsModified());
        QVERIFY(!QFile::exists(Dir.filePath("missing-folder")));
    }

    void readOnlyFileIsMadeWritable() {
        WriteAll(Path, "Language=DE\r\n");
        QFile::setPermissions(Path, QFile::ReadOwner | QFile::ReadUser);
        WriteSetting("Language", "SV");
        SaveSettings();
        QCOMPARE(ReadAll(Path), QByteArray("Language=SV\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestIniDatei)
#include "TestIniDatei.moc"
