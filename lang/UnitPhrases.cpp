#include "lang/UnitPhrases.h"

#include "platform/Platform.h"

const TMLStringList &AskToDeletePhrases() {
    static const TMLStringList list = [] {
        TMLStringList l(QStringLiteral("AskToDelete"));
        l.Add255Obj(Platform::ForSystemWording(QStringLiteral("Ja, Papierkorb"),
                                               QStringLiteral("Ja, in den Papierkorb")),
                    1);
        l.Add255Obj(QStringLiteral("Ja, Löschen"), 2);
        l.Add255Obj(
            Platform::ForSystemWording(
                QStringLiteral("Das Löschen von Dateien, die zum Ausführen von Programmen oder "
                               "Windows benötigt werden, kann Ihr System beschädigen und "
                               "unbrauchbar machen."),
                QStringLiteral("Das Löschen von Dateien, die das System oder installierte "
                               "Programme zum Ausführen benötigen, kann Ihr System beschädigen "
                               "und unbrauchbar machen.")),
            3);
        l.Add255Obj(QStringLiteral("Löschen auf eigene Gefahr!"), 4);
        l.Add255Obj(QString(), 5);
        l.Add255Obj(QStringLiteral("Ja, Verschieben"), 6);
        return l;
    }();
    return list;
}

const TMLStringList &InfoUnitPhrases() {
    // The about window's texts; the window lives among the windows, its words here.
    static const TMLStringList list = [] {
        TMLStringList l(QStringLiteral("InfoUnit"));
        l.Add255Obj(QStringLiteral("Über Dupliscan"), 1);
        l.Add255Obj(QStringLiteral("Version %1"), 2);
        l.Add255Obj(QStringLiteral("Freie Software unter der MIT-Lizenz"), 3);
        l.Add255Obj(QStringLiteral("Verwendete Bibliotheken"), 4);
        l.Add255Obj(QStringLiteral("C++-Standardbibliothek"), 5);
        l.Add255Obj(QStringLiteral("Ordner der Einstellungen"), 6);
        l.Add255Obj(QStringLiteral("Hilfe zu Dupliscan öffnen"), 7);
        l.Add255Obj(QStringLiteral("Schließen"), 8);
        l.Add255Obj(QStringLiteral("Doppelte und ähnliche Dateien finden und entfernen"), 9);
        return l;
    }();
    return list;
}

const TMLStringList &SelectNamesFormPhrases() {
    static const TMLStringList list = [] {
        TMLStringList l(QStringLiteral("SelectNamesForm"));
        l.Add255Obj(QStringLiteral("Bitte wählen Sie mindestens eine Option."), 1);
        return l;
    }();
    return list;
}

const TMLStringList &DeletionProblemPhrases() {
    static const TMLStringList list = [] {
        TMLStringList l(QStringLiteral("DeletionProblem"));
        l.Add255Obj(
            Platform::ForSystemWording(
                QStringLiteral("Dies gilt auch für alle anderen Dateien vom gleichen Laufwerk %1"),
                QStringLiteral(
                    "Dies gilt auch für alle anderen Dateien im gleichen Dateisystem %1")),
            1);
        return l;
    }();
    return list;
}
