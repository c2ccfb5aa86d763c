#include "gui/WindowPhrases.h"

const TMLStringList &WindowPhrases() {
    static const TMLStringList list = [] {
        TMLStringList l(QStringLiteral("MainWindow"));
        l.Add255Obj(QStringLiteral("Der Ordner #%1 ist eine Datei."), PhraseFolderIsFile);
        l.Add255Obj(
            QStringLiteral("Der Ordner #%1 kann nicht gelesen werden (keine Berechtigung)."),
            PhraseFolderUnreadable);
        l.Add255Obj(QStringLiteral("Alle Dateien"), PhraseAllFiles);
        l.Add255Obj(QStringLiteral("Der Ordner #%1 kann nicht durchsucht werden (keine "
                                   "Berechtigung, die Einträge darin zu öffnen)."),
                    PhraseFolderNotSearchable);
        return l;
    }();
    return list;
}
