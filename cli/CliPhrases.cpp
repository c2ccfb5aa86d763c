#include "cli/CliPhrases.h"

const TMLStringList &CommandLinePhrases() {
    static const TMLStringList list = [] {
        TMLStringList l(QStringLiteral("CommandLine"));
        l.Add255Obj(QStringLiteral("\"%1\" ist eine Datei, kein Ordner"), PhraseIsAFile);
        l.Add255Obj(
            QStringLiteral("Der Ordner \"%1\" kann nicht gelesen werden (keine Berechtigung)"),
            PhraseFolderUnreadable);
        l.Add255Obj(QStringLiteral("\"%1\" kann nicht geschrieben werden"), PhraseCannotWrite);
        l.Add255Obj(QStringLiteral("Die Standardausgabe kann nicht geschrieben werden"),
                    PhraseCannotWriteStdout);
        l.Add255Obj(QStringLiteral("%1 braucht einen Wert"), PhraseNeedsValue);
        l.Add255Obj(QStringLiteral("%1 braucht eine ganze Zahl"), PhraseNeedsWholeNumber);
        l.Add255Obj(QStringLiteral("Ungültiger Wert für %1"), PhraseInvalidValue);
        l.Add255Obj(QStringLiteral("%1 braucht einen Dateinamen"), PhraseNeedsFileName);
        l.Add255Obj(QStringLiteral("Unbekannte Option \"%1\" (siehe --help)"), PhraseUnknownOption);
        l.Add255Obj(QStringLiteral("Höchstens zwei Ordner können durchsucht werden, angegeben: %1"),
                    PhraseTooManyFolders);
        l.Add255Obj(QStringLiteral("--min-kb ist größer als --max-kb"), PhraseMinAboveMax);
        l.Add255Obj(QStringLiteral("--format xls braucht --output DATEI"), PhraseXlsNeedsOutput);
        l.Add255Obj(QStringLiteral("gelesene Dateien: %1"), PhraseFilesScanned);
        l.Add255Obj(QStringLiteral("(--yes: es geht weiter)"), PhraseContinuingYes);
        l.Add255Obj(QStringLiteral("Ohne Antwort geht es nicht weiter; mit --yes geht es weiter."),
                    PhraseNoAnswer);
        l.Add255Obj(QStringLiteral("Die Sprache %1 ist nicht vorhanden"), PhraseUnknownLanguage);
        l.Add255Obj(QStringLiteral("Die Phrasen wurden in \"%1\" gespeichert."),
                    PhrasePhrasesSaved);
        l.Add255Obj(QStringLiteral("Das Arbeitsblatt hat höchstens 65535 Zeilen: %1 Dateien fehlen "
                                   "darin (--format csv schreibt alle)"),
                    PhraseSheetFull);
        l.Add255Obj(QStringLiteral("Der Ordner \"%1\" kann nicht durchsucht werden (keine "
                                   "Berechtigung, die Einträge darin zu öffnen)"),
                    PhraseFolderNotSearchable);
        l.Add255Obj(QStringLiteral("--folders different-bases braucht zwei getrennte Ordner, von "
                                   "denen keiner im anderen liegt"),
                    PhraseTwoBaseFoldersNeeded);
        l.Add255Obj(QStringLiteral("Der Zwischenspeicher \"%1\" wird gerade von einer anderen "
                                   "Suche benutzt"),
                    PhraseCacheInUse);
        l.Add255Obj(QStringLiteral("Der Zwischenspeicher \"%1\" kann nicht gelöscht werden"),
                    PhraseCacheNotRemoved);

        // Usage lines; the options themselves stay as they are typed, ranges and
        // the default never list come in as %1.
        const char *const usage[] = {
            "Aufruf: dupliscan-cli [Optionen] [ORDNER [ORDNER2]]",
            "Findet doppelte Dateien in ORDNER (ohne Angabe im aktuellen Ordner) und gibt",
            "sie in Blöcken aus: der erste Pfad eines Blocks ist sein Kopf, die anderen gleichen "
            "ihm.",
            "Es wird nie etwas geändert oder gelöscht.",
            "Was verglichen wird:",
            "Inhalte nicht vergleichen (mit --names)",
            "Übereinstimmung der Inhalte in Prozent, %1 (Vorgabe 100)",
            "Dateinamen vergleichen",
            "Ähnlichkeit der Namen in Prozent, %1 (Vorgabe 80)",
            "Namen dürfen verschiedene Endungen haben",
            "Namen gleichen sich nur bei gleicher Dateigröße",
            "all (Vorgabe), different (Paare aus verschiedenen Ordnern),",
            "different-bases (aus ORDNER und ORDNER2)",
            "nur die Zwillinge dieser einen Datei suchen",
            "nach N Duplikaten aufhören (Vorgabe 0 = keine Grenze)",
            "Unterordner nicht durchsuchen",
            "Welche Dateien:",
            "nur diese Endungen",
            "nicht diese (mit --include ohne Wirkung)",
            "nie diese (Vorgabe: %1",
            "%1; \"\" erlaubt alle)",
            "Größengrenzen in KB (%1)",
            "Ausgabe:",
            "Vorgabe text; xls braucht --output",
            "dorthin schreiben statt in die Standardausgabe",
            "kein Fortschritt und keine Hinweise auf der Standardfehlerausgabe",
            "Fragen zu Systemordnern und verschachtelten Ordnern mit Ja beantworten",
            "Sprache der Meldungen (z. B. EN, DE, FR)",
            "alle Phrasen in DATEI speichern",
            "nur die Phrasen speichern, die der gewählten Sprache fehlen",
            "In der Textausgabe wird ein Backslash in einem Namen als \\\\ geschrieben, ein",
            "Zeilenumbruch als \\n, ein Tabulator als \\t, andere Steuerzeichen und Bytes, die "
            "kein",
            "UTF-8 sind, als \\xHH.",
            "Rückgabewert: 0 Suche beendet, 1 Suche konnte nicht laufen, 2 falscher Aufruf,",
            "130 mit Strg+C angehalten (die bis dahin gefundenen Blöcke werden ausgegeben).",
            "unter 100 werden ähnliche Dateien über zwanzig Blöcke gefunden",
            "unter 100: identische Kopien weglassen",
            "Bilder vergleichen (jpg jpeg jpe gif bmp tif tiff png ohne --include);",
            "braucht --percent 99 oder weniger",
            "Unter 100 % beginnt jede Textzeile mit der Übereinstimmung in Prozent und einem "
            "Tabulator.",
            "Der Kopf eines Blocks, dem die anderen gleichen, zeigt stattdessen \">\".",
            "Prüfsummen früherer Suchen weder benutzen noch speichern",
            "den Zwischenspeicher früherer Suchen löschen und beenden",
        };
        int id = PhraseUsageFirst;
        for (const char *line : usage)
            l.Add255Obj(QString::fromUtf8(line), id++);
        return l;
    }();
    return list;
}

QString CliPhrase(int id) {
    return GetPhrase(CommandLinePhrases(), id);
}

QString CliPhraseParam(int id, const QString &param) {
    return GetPhraseParam(CommandLinePhrases(), id, param);
}
