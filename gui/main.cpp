// dupliscan: the desktop program.

#include "gui/MainWindow.h"
#include "gui/Program.h"
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
    int code = 0;
    {
        const std::unique_ptr<MainWindow> window = StartProgram(arguments);
        window->show();
        code = QApplication::exec();
    }
    CloseEngine();
    return code;
}
