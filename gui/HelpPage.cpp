#include "gui/HelpPage.h"

#include "platform/Platform.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace {
const QLatin1String PageName("index.html");
} // namespace

QString InstalledHelpPage(const QString &programFolder) {
    const QString page =
        QDir(programFolder).filePath(QStringLiteral(DUPLISCAN_HELP_FROM_PROGRAM "/") + PageName);
    return QFileInfo(page).isFile() ? QDir::cleanPath(page) : QString();
}

QUrl HelpPageUrl(const QString &section) {
    QString page = InstalledHelpPage(QFileInfo(Platform::ProgramFilePath()).absolutePath());
    // A program run from its build folder shows the page it was built with.
    if (page.isEmpty() && QFileInfo(QStringLiteral(DUPLISCAN_HELP_SOURCE "/") + PageName).isFile())
        page = QStringLiteral(DUPLISCAN_HELP_SOURCE "/") + PageName;
    if (page.isEmpty())
        return {};
    QUrl url = QUrl::fromLocalFile(page);
    if (!section.isEmpty())
        url.setFragment(section);
    return url;
}

bool OpenHelpPage(const QString &section) {
    const QUrl url = HelpPageUrl(section);
    return url.isValid() && QDesktopServices::openUrl(url);
}
