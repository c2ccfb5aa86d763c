#include "platform/desktop/Desktop.h"

#include "platform/Platform.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <sched.h>

namespace Desktop {

namespace {
// The file's exact bytes, percent-encoded: a name that is not UTF-8 still
// names exactly this file.
QUrl FileUrl(const QString &path) {
    return QUrl::fromEncoded("file://" + QUrl::toPercentEncoding(Platform::EncodeName(path), "/"));
}

bool PriorityLowered = false;
int SavedPolicy = SCHED_OTHER;
} // namespace

bool HasDefaultApplication(const QString &path) {
    const QString mime = QMimeDatabase().mimeTypeForFile(path).name();
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty())
        return true; // cannot tell; the open request itself will say
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), mime});
    if (!query.waitForFinished(2000))
        return true;
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

bool OpenWithDefaultApplication(const QString &path) {
    return QDesktopServices::openUrl(FileUrl(path));
}

void ShowInFileManager(const QString &path) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{FileUrl(path).toString()} << QString();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return;
    QDesktopServices::openUrl(FileUrl(QFileInfo(path).path()));
}

QString ShowInFileManagerCaption() {
    return QStringLiteral("Ordner im Dateimanager anzeigen");
}

bool LowerPriority() {
    if (PriorityLowered)
        return true;
    const int policy = sched_getscheduler(0);
    if (policy != SCHED_OTHER && policy != SCHED_BATCH)
        return false;
    sched_param param{};
    if (sched_setscheduler(0, SCHED_IDLE, &param) != 0)
        return false;
    // Try the way back at once: where the system would not let an ordinary
    // user return to normal, stay normal.
    if (sched_setscheduler(0, policy, &param) != 0)
        return false;
    if (sched_setscheduler(0, SCHED_IDLE, &param) != 0)
        return false;
    SavedPolicy = policy;
    PriorityLowered = true;
    return true;
}

void RestorePriority() {
    if (!PriorityLowered)
        return;
    sched_param param{};
    sched_setscheduler(0, SavedPolicy, &param);
    PriorityLowered = false;
}

} // namespace Desktop
