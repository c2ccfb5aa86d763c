#include "cli/CliOutput.h"

#include "cli/CliPhrases.h"

#include "platform/Platform.h"
#include "platform/ReplacingFile.h"
#include "results/ExportUnit.h"
#include "results/ResultListUnit.h"
#include "search/MatchList.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/stat.h>
#include <unistd.h>

namespace {
void AppendHex(QByteArray &out, unsigned char byte) {
    static const char digits[] = "0123456789abcdef";
    out += "\\x";
    out += digits[byte >> 4];
    out += digits[byte & 15];
}

void AppendUtf8(QByteArray &out, char32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// Characters that change the direction in which the text around them is shown,
// so that a name could look like another ("txt.exe" as "exe.txt").
bool IsDirectionControl(char16_t u) {
    return u == 0x061C || u == 0x200E || u == 0x200F || (u >= 0x202A && u <= 0x202E) ||
           (u >= 0x2066 && u <= 0x2069);
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
        // Nearly every character of a path is plain ASCII.
        if (u >= 0x20 && u < 0x7F && u != '\\') {
            out += char(u);
        } else if (c.isHighSurrogate() && i + 1 < path.size() && path.at(i + 1).isLowSurrogate()) {
            AppendUtf8(out, QChar::surrogateToUcs4(c, path.at(i + 1)));
            ++i;
        } else if (c.isSurrogate()) {
            // A byte that is not UTF-8, carried as a lone surrogate.
            if (!Platform::NameIsExact(QString(c)))
                AppendHex(out, static_cast<unsigned char>(Platform::EncodeName(QString(c)).at(0)));
            else
                out += QString(c).toUtf8();
        } else if (u == '\\') {
            out += "\\\\";
        } else if (u == '\n') {
            out += "\\n";
        } else if (u == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            AppendHex(out, static_cast<unsigned char>(u));
        } else if ((u >= 0x80 && u <= 0x9F) || IsDirectionControl(u)) {
            // C1 controls (terminals may obey them, some readers split lines at
            // U+0085) and direction controls. Written as their UTF-8 bytes, so
            // \xHH always means a byte.
            QByteArray bytes;
            AppendUtf8(bytes, u);
            for (const char byte : bytes)
                AppendHex(out, static_cast<unsigned char>(byte));
        } else {
            AppendUtf8(out, u);
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

namespace {
// The standard output or error (1 or 2) when the output file names its file
// (/dev/stdout, /proc/self/fd/1, or a file the shell opened for it), else -1.
// Such a name is written to the descriptor, never replaced: /dev/stdout is a
// link, and what it leads to is the shell's to decide.
int StandardDescriptorOf(const QString &fileName) {
    struct stat named {};
    if (::stat(Platform::EncodeName(fileName).constData(), &named) != 0)
        return -1;
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        struct stat open {};
        if (::fstat(fd, &open) == 0 && open.st_dev == named.st_dev && open.st_ino == named.st_ino)
            return fd;
    }
    return -1;
}

QString CannotWrite(const QString &fileName, const QString &reason) {
    return CliPhraseParam(PhraseCannotWrite, fileName) + QStringLiteral(": ") + reason;
}

bool WriteFormat(QIODevice &device, const CliArguments &arguments, RunOutcome outcome, int matches,
                 int &leftOut) {
    switch (arguments.Format) {
    case OutputFormat::Text:
        return WriteText(device);
    case OutputFormat::Csv:
        return WriteCsv(device);
    case OutputFormat::Json:
        return WriteJson(device, outcome, matches);
    case OutputFormat::Xls:
        return WriteXls(device, &leftOut);
    }
    return false;
}
} // namespace

QString OutputFileName(const CliArguments &arguments) {
    QString fileName = arguments.OutputFile;
    if (arguments.Format == OutputFormat::Xls)
        AddDefaultExtension(fileName, QStringLiteral(".xls"));
    return fileName;
}

bool CheckOutput(const QString &fileName, QString &error) {
    QString reason;
    if (fileName.isEmpty() || StandardDescriptorOf(fileName) >= 0 ||
        Platform::ReplacingFile::CanOpen(fileName, &reason))
        return true;
    error = CannotWrite(fileName, reason);
    return false;
}

std::vector<FileIdentity> OutputFiles(const QString &fileName) {
    const int standard = fileName.isEmpty() ? STDOUT_FILENO : StandardDescriptorOf(fileName);
    struct stat st {};
    const bool found = standard >= 0
                           ? ::fstat(standard, &st) == 0
                           : ::lstat(Platform::EncodeName(fileName).constData(), &st) == 0;
    if (!found || !S_ISREG(st.st_mode))
        return {};
    return {FileIdentity{quint64(st.st_dev), quint64(st.st_ino)}};
}

bool WriteResult(const CliArguments &arguments, RunOutcome outcome, int matches, int &leftOut,
                 QString &error) {
    leftOut = 0;
    const QString fileName = OutputFileName(arguments);
    const int standard = fileName.isEmpty() ? STDOUT_FILENO : StandardDescriptorOf(fileName);
    if (standard < 0) {
        Platform::ReplacingFile out(fileName);
        if (out.open() && WriteFormat(out, arguments, outcome, matches, leftOut) && out.Commit())
            return true;
        error = CannotWrite(fileName, out.errorString());
        return false;
    }
    QFile out;
    bool written = out.open(standard, QIODevice::WriteOnly, QFileDevice::DontCloseHandle) &&
                   WriteFormat(out, arguments, outcome, matches, leftOut);
    written = out.flush() && written;
    if (!written)
        error = fileName.isEmpty() ? CliPhrase(PhraseCannotWriteStdout)
                                   : CannotWrite(fileName, out.errorString());
    return written;
}
