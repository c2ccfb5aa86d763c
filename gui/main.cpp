// dupliscan: the desktop program.

#include "gui/MainWindow.h"
#include "gui/StartPageRules.h"
#include "lang/SelfLoadSectionsUnit.h"
#include "lang/widgets/LangWidgets.h"
#include "platform/Platform.h"
#include "results/Engine.h"

#include <QApplication>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dupliscan"));
    // Folder names are bytes; Qt's own options are gone from argv by now.
    QStringList arguments;
    for (int k = 1; k < argc; ++k)
        arguments.append(Platform::DecodeName(QByteArray(argv[k])));

    LoadPhraseTable(false);
    InstallWidgetLanguageSupport();
    int code = 0;
    {
        MainWindow window;
        const StartPageRules::StartFolders folders = StartPageRules::StartFoldersOf(arguments);
        window.SetStartFolders(folders.First, folders.Second);
        window.CreateLegendWindow();
        // The tips window is created with its piece; it opens from the window.
        window.show();
        code = QApplication::exec();
    }
    CloseEngine();
    return code;
}
