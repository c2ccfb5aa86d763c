#include "cli/CliOutput.h"

#include "cli/CliPhrases.h"

#include "platform/Platform.h"
#include "results/ExportUnit.h"
#include "results/ResultListUnit.h"
#include "search/MatchList.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
void AppendHex(QByteArray &out, unsigned char byte) {
    static const char digits[] = "0123456789abcdef";
    out += "\\x";
    out += digits[byte >> 4];
    out += digits[byte & 15];
}

QString MarkName(quint8 mark) {
    switch (mark) {
    case Virtual:
        return QStringLiteral("virtual");
    case Deleted:
        return QStringLiteral("deleted");
    case StayNoDelete:
        return QStringLiteral("stay-no-delete");
    case Delete:
        return QStringLiteral("delete");
    default:
        return QStringLiteral("stay");
    }
}

QString OutcomeName(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::LimitReached:
        return QStringLiteral("limit-reached");
    case RunOutcome::Stopped:
        return QStringLiteral("stopped");
    case RunOutcome::Terminated:
        return QStringLiteral("terminated");
    case RunOutcome::Failed:
        return QStringLiteral("failed");
    case RunOutcome::Completed:
        break;
    }
    return QStringLiteral("completed");
}

QJsonObject FileObject(int row) {
    const FileRecord &r = *MatchList()[std::size_t(row)].Record;
    const QString path = RowPath(row);
    QJsonObject file;
    if (Platform::NameIsExact(path)) {
        file[QStringLiteral("path")] = path;
    } else {
        // JSON text cannot carry raw bytes: a readable form plus the exact bytes.
        const QByteArray bytes = Platform::EncodeName(path);
        file[QStringLiteral("path")] = QString::fromUtf8(bytes);
        file[QStringLiteral("path_hex")] = QString::fromLatin1(bytes.toHex());
    }
    file[QStringLiteral("percent")] = r.Percent;
    file[QStringLiteral("size")] = r.Size;
    file[QStringLiteral("modified")] =
        QDateTime::fromMSecsSinceEpoch(Platform::UnixMsecsFromFileTime(r.WriteTime), Qt::UTC)
            .toString(Qt::ISODate);
    file[QStringLiteral("mark")] = MarkName(r.Mark);
    return file;
}
} // namespace

QByteArray EscapedPathLine(const QString &path) {
    QByteArray out;
    out.reserve(path.size() + 1);
    for (qsizetype i = 0; i < path.size(); ++i) {
        const QChar c = path.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < path.size() && path.at(i + 1).isLowSurrogate()) {
            out += path.mid(i, 2).toUtf8();
            ++i;
        } else if (!Platform::NameIsExact(QString(c))) {
            // A byte that is not UTF-8, carried as a lone surrogate.
            AppendHex(out, static_cast<unsigned char>(Platform::EncodeName(QString(c)).at(0)));
        } else if (u == '\\') {
            out += "\\\\";
        } else if (u == '\n') {
            out += "\\n";
        } else if (u == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            AppendHex(out, static_cast<unsigned char>(u));
        } else if (u >= 0x80 && u <= 0x9F) {
            // C1 controls: terminals may obey them, and some readers split lines
            // at U+0085. Written as their UTF-8 bytes, so \xHH always means a byte.
            for (const char byte : QString(c).toUtf8())
                AppendHex(out, static_cast<unsigned char>(byte));
        } else {
            out += QString(c).toUtf8();
        }
    }
    return out + '\n';
}

bool WriteText(QIODevice &device) {
    const FileList &list = MatchList();
    // Like the result list, a similarity run shows each file's match and ">"
    // for the head the others matched.
    const bool similar = Context().LastRunOptions.ContentPercent < 100;
    QByteArray text;
    for (int i = 0; i < int(list.size()); ++i) {
        const FileRecord *r = list[std::size_t(i)].Record.get();
        if (!r || r->Group < 0)
            continue;
        if (r->IsBlockHead && i > 0)
            text += '\n';
        if (similar)
            text +=
                (r->IsBlockHead ? QByteArray(">") : QByteArray::number(r->Percent) + '%') + '\t';
        text += EscapedPathLine(RowPath(i));
        if (text.size() >= 65536) {
            if (device.write(text) != text.size())
                return false;
            text.clear();
        }
    }
    return device.write(text) == text.size();
}

bool WriteJson(QIODevice &device, RunOutcome outcome, int matches) {
    const FileList &list = MatchList();
    QJsonArray blocks;
    QJsonArray files;
    for (int i = 0; i < int(list.size()); ++i) {
        const FileRecord *r = list[std::size_t(i)].Record.get();
        if (!r || r->Group < 0)
            continue;
        if (r->IsBlockHead && !files.isEmpty()) {
            blocks.append(QJsonObject{{QStringLiteral("files"), files}});
            files = QJsonArray();
        }
        files.append(FileObject(i));
    }
    if (!files.isEmpty())
        blocks.append(QJsonObject{{QStringLiteral("files"), files}});
    const QJsonObject root{{QStringLiteral("outcome"), OutcomeName(outcome)},
                           {QStringLiteral("matches"), matches},
                           {QStringLiteral("blocks"), blocks}};
    const QByteArray text = QJsonDocument(root).toJson(QJsonDocument::Indented);
    return device.write(text) == text.size();
}

bool OpenOutputFile(QFile &file, const QString &fileName, bool truncate, QString &reason) {
    const int fd = ::open(Platform::EncodeName(fileName).constData(),
                          O_WRONLY | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : 0), 0666);
    if (fd < 0) {
        reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        reason = file.errorString();
        return false;
    }
    return true;
}

bool WriteResult(const CliArguments &arguments, RunOutcome outcome, int matches, QString &error) {
    QString fileName = arguments.OutputFile;
    if (arguments.Format == OutputFormat::Xls) {
        QString reason;
        if (!ExportXls(fileName, &reason)) {
            error = CliPhraseParam(PhraseCannotWrite, fileName) + QStringLiteral(": ") + reason;
            return false;
        }
        return true;
    }
    QFile out;
    const bool toFile = !fileName.isEmpty();
    if (toFile) {
        QString reason;
        if (!OpenOutputFile(out, fileName, true, reason)) {
            error = CliPhraseParam(PhraseCannotWrite, fileName) + QStringLiteral(": ") + reason;
            return false;
        }
    } else if (!out.open(stdout, QIODevice::WriteOnly)) {
        error = CliPhrase(PhraseCannotWriteStdout);
        return false;
    }
    bool written = false;
    switch (arguments.Format) {
    case OutputFormat::Text:
        written = WriteText(out);
        break;
    case OutputFormat::Csv:
        written = WriteCsv(out);
        break;
    case OutputFormat::Json:
        written = WriteJson(out, outcome, matches);
        break;
    case OutputFormat::Xls:
        break;
    }
    written = out.flush() && written;
    if (!written)
        error = toFile ? CliPhraseParam(PhraseCannotWrite, fileName) + QStringLiteral(": ") +
                             out.errorString()
                       : CliPhrase(PhraseCannotWriteStdout);
    return written;
}
