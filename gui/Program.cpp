#include "gui/Program.h"

#include "gui/MainWindow.h"
#include "gui/StartPageRules.h"
#include "lang/SelfLoadSectionsUnit.h"
#include "lang/widgets/LangWidgets.h"

#include <QApplication>
#include <QIcon>

std::unique_ptr<MainWindow> StartProgram(const QStringList &arguments) {
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/dupliscan/dupliscan.png")));
    LoadPhraseTable(false);
    InstallWidgetLanguageSupport();
    auto window = std::make_unique<MainWindow>();
    const StartPageRules::StartFolders folders = StartPageRules::StartFoldersOf(arguments);
    window->SetStartFolders(folders.First, folders.Second);
    window->CreateLegendWindow();
    return window;
}
