// dupliscan: the desktop program.

#include "gui/MainWindow.h"
#include "lang/SelfLoadSectionsUnit.h"
#include "lang/widgets/LangWidgets.h"
#include "results/Engine.h"

#include <QApplication>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dupliscan"));
    LoadPhraseTable(false);
    InstallWidgetLanguageSupport();
    int code = 0;
    {
        MainWindow window;
        window.show();
        code = QApplication::exec();
    }
    CloseEngine();
    return code;
}
