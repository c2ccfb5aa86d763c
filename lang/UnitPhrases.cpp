#include "lang/UnitPhrases.h"

#include "platform/Platform.h"

const TMLStringList &FilterUnitPhrases() {
    static const TMLStringList list = [] {
        TMLStringList l(QStringLiteral("FilterUnit"));
        l.Add255Obj(QStringLiteral("keine Filterung, d.h. alle Dateien prüfen"), 1);
        l.Add255Obj(QStringLiteral("alle prüfen, AUSSER"), 2);
        l.Add255Obj(QStringLiteral("NICHT"), 3);
        l.Add255Obj(QStringLiteral("GDI+ ist nicht verfügbar (für den Bildvergleich).#13#Bitte "
                                   "informiere dich auf der Dupliscan Homepage über GDI+"),
                    4);
        return l;
    }();
    return list;
}

const TMLStringList &AskToDeletePhrases() {
    static const TMLStringList list = [] {
        TMLStringList l(QStringLiteral("AskToDelete"));
        l.Add255Obj(QStringLiteral("Ja, Papierkorb"), 1);
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
    // The about window brings its own texts when it is built.
    static const TMLStringList list(QStringLiteral("InfoUnit"));
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
            QStringLiteral("Dies gilt auch für alle anderen Dateien vom gleichen Laufwerk %1"), 1);
        return l;
    }();
    return list;
}
