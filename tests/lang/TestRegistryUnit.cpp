#include "lang/RegistryUnit.h"

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestRegistryUnit : public QObject {
    Q_OBJECT

    QTemporaryDir Home;

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", Home.path().toUtf8());
        QStandardPaths::setTestModeEnabled(true);
    }

    void commaText_data() {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QStringList{"/a/", "/b/"} << "/a/,/b/";
        QTest::newRow("blank quoted") << QStringList{"/data/Program Files/Test/", "/x/"}
                                      << "\"/data/Program Files/Test/\",/x/";
        QTest::newRow("comma and quote")
            << QStringList{"a,b", "say \"hi\""} << "\"a,b\",\"say \"\"hi\"\"\"";
        QTest::newRow("empty item") << QStringList{"a", "", "b"} << "a,,b";
        QTest::newRow("umlauts need no quotes") << QStringList{"/Bilder/Über/"} << "/Bilder/Über/";
    }

    void commaText() {
        QFETCH(QStringList, items);
        QFETCH(QString, text);
        QCOMPARE(CommaText(items), text);
        QCOMPARE(FromCommaText(text), items);
    }

    void unquotedBlankSplitsItem() {
        QCOMPARE(FromCommaText("/data/Program Files/Test/"),
                 (QStringList{"/data/Program", "Files/Test/"}));
        QCOMPARE(FromCommaText("  a , b,"), (QStringList{"a", "b", ""}));
        QCOMPARE(FromCommaText(""), QStringList());
    }

    void stringValuesRoundTrip() {
        RegWriteString(false, "Dirs", CommaText({"/a b/", "/c/"}));
        QCOMPARE(FromCommaText(RegReadString(false, "Dirs")), (QStringList{"/a b/", "/c/"}));
        QCOMPARE(RegReadString(false, "Nothing"), QString());
    }

    void otherTypesReadAsEmpty() {
        QSettings settings(QStringLiteral("Kelmo"), QStringLiteral("Dupliscan"));
        settings.setValue("Dirs", QStringList{"/a/", "/b/"});
        settings.setValue("Ver", QByteArray("\x01\x02", 2));
        settings.sync();
        QCOMPARE(RegReadString(false, "Dirs"), QString());
        QCOMPARE(RegReadString(false, "Ver"), QString());
    }
};

QTEST_GUILESS_MAIN(TestRegistryUnit)
#include "TestRegistryUnit.moc"
