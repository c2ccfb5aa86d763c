// Checks the phrase tables the program carries, as they are in the source tree.

#include "cli/CliPhrases.h"
#include "lang/MultiLingua.h"
#include "lang/SelfLoadSectionsUnit.h"
#include "lang/UnitPhrases.h"
#include "search/CompareDriver.h"
#include "search/MainPhrases.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

class TestPhraseTables : public QObject {
    Q_OBJECT

    QStringList Files;

private slots:
    void initTestCase() {
        const QDir lang(QStringLiteral(DUPLISCAN_SOURCE_DIR "/lang"));
        for (const QString &name : lang.entryList({"*.lng.txt"}, QDir::Files, QDir::Name))
            Files << lang.filePath(name);
        QVERIFY(Files.contains(lang.filePath("Dupliscan.lng.txt")));
        QVERIFY(Files.contains(lang.filePath("CommandLine.lng.txt")));
        QString text;
        for (const QString &path : Files) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            text += QString::fromUtf8(file.readAll()) + QStringLiteral("\n\n");
        }
        ResetPhraseSystem();
        LoadPhraseText(PhraseTable(), text, true);
        QVERIFY(!PhraseTable()->Groups.empty());
    }

    void everyListedTextHasRow() {
        // Build every phrase list of the program so that the registry holds them all.
        MainFormPhrases();
        FileSearchPhrases();
        FilterUnitPhrases();
        AskToDeletePhrases();
        InfoUnitPhrases();
        SelectNamesFormPhrases();
        DeletionProblemPhrases();
        CommandLinePhrases();
        const int german = PhraseTable()->IndexOfLanguage("DE");
        QSet<QString> rows;
        for (const auto &row : PhraseTable()->Groups)
            rows.insert(row->Text(german));
        QStringList missing;
        for (const TMLStringList *list : PhraseListRegistry())
            for (const QString &text : list->Texts()) {
                const QString key = SplitPhraseKey(text).Text;
                if (!key.trimmed().isEmpty() && !rows.contains(key))
                    missing << list->Name() + ": " + key;
            }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join('\n')));
    }

    void everyRowHasGermanAndEnglish() {
        const int german = PhraseTable()->IndexOfLanguage("DE");
        const int english = PhraseTable()->IndexOfLanguage("EN");
        QStringList incomplete;
        for (const auto &row : PhraseTable()->Groups)
            if (row->Text(german).isEmpty() || row->Text(english).isEmpty())
                incomplete << row->Texts.join(" | ");
        QVERIFY2(incomplete.isEmpty(), qPrintable(incomplete.join('\n')));
    }

    void placeholdersAgreeBetweenLanguages() {
        static const QRegularExpression marks(QStringLiteral("%1|#13#"));
        QStringList differing;
        for (const auto &row : PhraseTable()->Groups) {
            auto signature = [](const QString &text) {
                QStringList found;
                for (auto m = marks.globalMatch(text); m.hasNext();)
                    found << m.next().captured();
                found.sort();
                return found;
            };
            const QStringList german = signature(row->Text(0));
            for (int k = 1; k < row->Texts.size(); ++k)
                if (!row->Text(k).isEmpty() && signature(row->Text(k)) != german)
                    differing << PhraseTable()->Languages[size_t(k)]->Code + ": " + row->Text(k);
        }
        QVERIFY2(differing.isEmpty(), qPrintable(differing.join('\n')));
    }

    void codesAreKnownLanguages() {
        for (const auto &info : PhraseTable()->Languages)
            QVERIFY2(info->Root || info->Code == QLatin1String("US"), qPrintable(info->Code));
    }
};

QTEST_GUILESS_MAIN(TestPhraseTables)
#include "TestPhraseTables.moc"
