#pragma once
// How the desktop program starts: the phrase table, the main window with the
// folders it was given, the windows beside it. The program's entry point and
// the screenshot tour start it the same way.

#include <QStringList>
#include <memory>

class MainWindow;

// Arguments without the program's name; names are decoded from their bytes.
std::unique_ptr<MainWindow> StartProgram(const QStringList &arguments);
