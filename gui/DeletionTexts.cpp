#include "gui/DeletionTexts.h"

#include "platform/Platform.h"

const TMLStringList &DeletionWindowPhrases() {
    static const TMLStringList list = [] {
        using Platform::ForSystemWording;
        TMLStringList l(QStringLiteral("DeletionWindows"));
        l.Add255Obj(ForSystemWording(QStringLiteral("Dateien verschieben nach "
                                                    "<Laufwerk>\\dupliscanned\\"),
                                     QStringLiteral("Dateien verschieben nach "
                                                    "<Ordner>/dupliscanned/")),
                    PhraseMoveCaption);
        l.Add255Obj(QStringLiteral("Dateien verschieben nach %1"), PhraseMoveToFolder);
        l.Add255Obj(ForSystemWording(QStringLiteral("Dateien in Papierkorb verschieben"),
                                     QStringLiteral("Dateien in den Papierkorb verschieben")),
                    PhraseRecycleCaption);
        l.Add255Obj(
            ForSystemWording(
                QStringLiteral("Folgende Datei konnte nicht in den Papierkorb verschoben werden:"),
                QStringLiteral(
                    "Die folgende Datei konnte nicht in den Papierkorb verschoben werden:")),
            PhraseNotIntoTrash);
        l.Add255Obj(ForSystemWording(
                        QStringLiteral("Bei externen Laufwerken unterstützt Windows i.d.R. keinen "
                                       "Papierkorb!"),
                        QStringLiteral("Netzwerk-Dateisysteme und Datenträger ohne eigenen "
                                       "Papierkorb-Ordner haben keinen Papierkorb!")),
                    PhraseNoTrashHere);
        l.Add255Obj(ForSystemWording(QStringLiteral("Datei direkt löschen (ohne Papierkorb)"),
                                     QStringLiteral("Datei direkt löschen (nicht in den "
                                                    "Papierkorb)")),
                    PhraseKillDirect);
        return l;
    }();
    return list;
}
