// Build step: carries the phrase table inside a program file. The readable
// phrase sources (UTF-8 text) are joined, turned into UTF-16 little-endian with
// byte order mark and CR LF line ends, and appended behind the program image as
// the section area. A section area left from an earlier run is replaced.
// With --table the same table is written as a file of its own, for programs
// that lost their section to strip.
//
//   AppendSections PROGRAM PHRASES.lng.txt...
//   AppendSections --table TABLE.lng PHRASES.lng.txt...

#include "lang/SelfLoadSectionsUnit.h"
#include "lang/WideSLUnit.h"
#include "platform/ReplacingFile.h"

#include <QFile>
#include <QStringList>
#include <cstdio>

namespace {
int Fail(const QString &message) {
    std::fprintf(stderr, "AppendSections: %s\n", message.toLocal8Bit().constData());
    return 1;
}

// The sources joined into the table's bytes; false with error when one cannot be read.
bool PhraseTableBytes(const QStringList &sources, QByteArray &bytes, QString &error) {
    QStringList lines;
    for (const QString &name : sources) {
        QFile source(name);
        if (!source.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("cannot read %1: %2").arg(name, source.errorString());
            return false;
        }
        QString text = QString::fromUtf8(source.readAll());
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"))
            .replace(QLatin1Char('\r'), QLatin1Char('\n'));
        // An empty line between the files keeps their blocks apart.
        if (!lines.isEmpty())
            lines.append(QString());
        lines.append(text.split(QLatin1Char('\n')));
    }
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    bytes = Utf16LEBytes(QChar(0xFEFF) + lines.join(QLatin1String("\r\n")) + QLatin1String("\r\n"));
    return true;
}

int Write(const QString &path, const QByteArray &bytes) {
    QString reason;
    if (!Platform::ReplaceFileContent(path, bytes, &reason))
        return Fail(QStringLiteral("cannot write %1: %2").arg(path, reason));
    return 0;
}
} // namespace

int main(int argc, char **argv) {
    const bool tableOnly = argc >= 2 && qstrcmp(argv[1], "--table") == 0;
    const int first = tableOnly ? 2 : 1;
    if (argc < first + 2)
        return Fail(QStringLiteral("usage: AppendSections [--table TABLE | PROGRAM] PHRASES..."));
    const QString output = QString::fromLocal8Bit(argv[first]);
    QStringList sources;
    for (int k = first + 1; k < argc; ++k)
        sources.append(QString::fromLocal8Bit(argv[k]));

    QByteArray table;
    QString error;
    if (!PhraseTableBytes(sources, table, error))
        return Fail(error);
    if (tableOnly)
        return Write(output, table);

    QFile in(output);
    if (!in.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("cannot read %1: %2").arg(output, in.errorString()));
    QByteArray image = in.readAll();
    in.close();
    const qsizetype area = image.indexOf(SectionMarker(QLatin1String(BeginningMarkSection)));
    if (area >= 0)
        image.truncate(area);
    image.append(BuildSection(QLatin1String(BeginningMarkSection), QByteArray()));
    image.append(BuildSection(QLatin1String(PhraseTableSection), table));
    return Write(output, image);
}
