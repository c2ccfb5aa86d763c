#include "search/MainPhrases.h"

#include "platform/Platform.h"

const TMLStringList &MainFormPhrases() {
    static const TMLStringList list = [] {
        TMLStringList l(QStringLiteral("MainForm"));
        l.Add255Obj(QStringLiteral("lese Ordner"), 1);
        l.Add255Obj(QStringLiteral("Übereinstimmung"), 2);
        l.Add255Obj(QStringLiteral("Basis-Ordner auswählen"), 3);
        l.Add255Obj(QStringLiteral("Zweiten Basis-Ordner auswählen"), 4);
        l.Add255Obj(QStringLiteral("zu wenig Speicher"), 5);
        l.Add255Obj(QStringLiteral("vergleiche"), 6);
        l.Add255Obj(QStringLiteral("Bitte warten"), 7);
        l.Add255Obj(QStringLiteral("Ordner #%1 ist ein Unterordner des Ordners"), 8);
        l.Add255Obj(
            QStringLiteral("Es werden jedoch sowieso ALLE Unterordner von Ordner #%1 durchsucht."),
            9);
        l.Add255Obj(QStringLiteral("Möchten Sie fortsetzen?"), 10);
        l.Add255Obj(
            Platform::ForSystemWording(
                QStringLiteral("Pfad #%1 enthält einen Windows-Ordner."),
                QStringLiteral("Pfad #%1 enthält einen Systemordner (wie /usr oder /etc).")),
            11);
        l.Add255Obj(Platform::ForSystemWording(
                        QStringLiteral("Pfad #%1 enthält den Ordner \"Programme\"."),
                        QStringLiteral("Pfad #%1 enthält einen Ordner installierter Programme "
                                       "(wie /opt oder /usr/local).")),
                    12);
        l.Add255Obj(QStringLiteral("Der Ordner #%1 existiert nicht."), 13);
        l.Add255Obj(QStringLiteral("Bitte wählen Sie einen Ordner aus."), 14);
        l.Add255Obj(QStringLiteral("Die Löschfunktion wird deaktiviert. Trotzdem suchen?"), 15);
        l.Add255Obj(QStringLiteral("vergleiche %1 Dateien"), 16);
        l.Add255Obj(QStringLiteral("Automatische Auswahl läuft ..."), 17);
        l.Add255Obj(QStringLiteral("Abgebrochen."), 18);
        l.Add255Obj(QStringLiteral("Die Löschfunktion wurde deshalb deaktiviert."), 19);
        l.Add255Obj(QStringLiteral("Allgemeiner Warnhinweis:#13#Sie haben 2 Pfadangaben verwendet. "
                                   "Stellen Sie sicher, dass#13#die Pfade nicht auf dieselben "
                                   "Ordner/Dateien zeigen,"),
                    20);
        l.Add255Obj(QStringLiteral("denn sonst würde eine Datei fälschlicherweise als ihr eigenes "
                                   "Duplikat#13#angezeigt und dann beim Löschen vollständig "
                                   "verloren gehen!"),
                    21);
        l.Add255Obj(QStringLiteral("In dem Block mit der Zeile, die jetzt aktiviert wurde (blau), "
                                   "sind alle Dateien ausgewählt.#13#Das ist zum Schutz vor "
                                   "Dateiverlust jedoch nicht gestattet."),
                    22);
        l.Add255Obj(QStringLiteral("Lösche ..."), 23);
        l.Add255Obj(QStringLiteral("%1 Dateien gelöscht"), 24);
        l.Add255Obj(QStringLiteral("%1 Dateien konnten nicht gelöscht werden."), 25);
        l.Add255Obj(
            QStringLiteral("Die gewählte Sprache kann evtl. nicht richtig angezeigt werden."), 26);
        l.Add255Obj(QString(), 27);
        l.Add255Obj(QStringLiteral("nach doppelten Dateien suchen"), 28);
        l.Add255Obj(QStringLiteral("nach ähnlichen Dateien suchen"), 29);
        l.Add255Obj(QString(), 30);
        l.Add255Obj(QStringLiteral("Fortsetzen?"), 31);
        l.Add255Obj(QStringLiteral("Die Datei wurde gespeichert."), 32);
        l.Add255Obj(QStringLiteral("Wollen Sie die Datei jetzt öffnen?"), 33);
        l.Add255Obj(QStringLiteral("installieren in"), 34);
        l.Add255Obj(QStringLiteral("Vorhandene Datei überschreiben?"), 35);
        l.Add255Obj(QStringLiteral("Verknüpfungen auf dem Desktop und im Startmenü anlegen?"), 36);
        l.Add255Obj(QStringLiteral("Fehler beim Speichern der Datei."), 37);
        l.Add255Obj(QStringLiteral("Keine Duplikate gefunden."), 38);
        l.Add255Obj(QStringLiteral("Es gibt leider keinen 100%-Pixelvergleich.#13#Bitte wähle 99% "
                                   "oder weniger."),
                    39);
        l.Add255Obj(QStringLiteral("Bitte wählen Sie \"Namen vergleichen\" und/oder \"Inhalte "
                                   "vergleichen\"."),
                    40);
        l.Add255Obj(QStringLiteral("nach ähnlichen Namen suchen"), 41);
        l.Add255Obj(QStringLiteral("nach doppelten Namen suchen"), 42);
        l.Add255Obj(QStringLiteral("nach ähnlichen Bildern suchen"), 43);
        l.Add255Obj(QStringLiteral("Es wurde kein Dateiname eingegeben."), 44);
        l.Add255Obj(QStringLiteral("Die eingegebene Datei existiert nicht."), 45);
        l.Add255Obj(QStringLiteral("Der Dateiname enthält unerlaubte Zeichen."), 46);
        // A content search needs the file itself: what stands there instead.
        l.Add255Obj(QStringLiteral("Die eingegebene Datei ist ein Ordner."), 47);
        l.Add255Obj(QStringLiteral("Die eingegebene Datei ist eine symbolische Verknüpfung; bitte "
                                   "geben Sie die Datei an, auf die sie zeigt."),
                    48);
        l.Add255Obj(QStringLiteral("Die eingegebene Datei ist keine gewöhnliche Datei, sondern ein "
                                   "Gerät, eine Pipe oder ein Socket."),
                    49);
        return l;
    }();
    return list;
}

int CertainFileProblemPhrase(CertainFileProblem problem) {
    switch (problem) {
    case CertainFileProblem::Empty:
        return 44;
    case CertainFileProblem::Missing:
        return 45;
    case CertainFileProblem::InvalidCharacters:
        return 46;
    case CertainFileProblem::Folder:
        return 47;
    case CertainFileProblem::Link:
        return 48;
    case CertainFileProblem::NotAFile:
        return 49;
    case CertainFileProblem::None:
        break;
    }
    return 0;
}
