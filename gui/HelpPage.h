#pragma once
// The program's own help: one local HTML page, never a page on the web.

#include <QString>
#include <QUrl>

// The page below an installed program (<prefix>/bin/dupliscan finds
// <prefix>/share/doc/dupliscan/help/index.html), or empty when there is none.
QString InstalledHelpPage(const QString &programFolder);

// The installed page, or in a build tree the copy in the source folder; a
// section ("start", "filter", "results", "marks", "delete", "settings",
// "command-line") becomes the fragment. Empty when neither exists.
QUrl HelpPageUrl(const QString &section = QString());

// Opens the page with the desktop's browser; false when it was not found or
// nothing could show it.
bool OpenHelpPage(const QString &section = QString());
