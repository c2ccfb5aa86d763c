#pragma once
// The desktop services the windows use, the only place that knows how this
// system provides them.

#include <QString>

namespace Desktop {

// Whether the desktop has an application to open this file with.
bool HasDefaultApplication(const QString &path);
// Opens the file with the desktop's default application; false when none
// could be started.
bool OpenWithDefaultApplication(const QString &path);
// Shows the file selected in the file manager; where no file manager answers,
// opens its folder instead.
void ShowInFileManager(const QString &path);
// The German caption of the command that does so, in the words of this desktop.
QString ShowInFileManagerCaption();

// While a search runs in the background the program may step aside for the
// user's other work. Only done where the normal priority can be restored
// without privileges; false when the priority was left alone.
bool LowerPriority();
void RestorePriority();

} // namespace Desktop
