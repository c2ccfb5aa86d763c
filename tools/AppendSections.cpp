// Build step: carries the phrase table inside a program file. The readable
// phrase sources (UTF-8 text) are joined, turned into UTF-16 little-endian with
// byte order mark and CR LF line ends, and appended behind the program image as
// the section area. A section area left from an earlier run is replaced.
//
//   AppendSections PROGRAM PHRASES.lng.txt...

#include "lang/SelfLoadSectionsUnit.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <cstdio>

namespace {
int Fail(const QString &message) {
    std::fprintf(stderr, "AppendSections: %s\n", message.toLocal8Bit().constData());
    return 1;
}

QByteArray Utf16LEWithMark(const QString &text) {
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}
} // namespace

int main(int argc, char **argv) {
    if (argc < 3)
        return Fail(QStringLiteral("usage: AppendSections PROGRAM PHRASES..."));
    const QString program = QString::fromLocal8Bit(argv[1]);

    QStringList lines;
    for (int k = 2; k < argc; ++k) {
        QFile source(QString::fromLocal8Bit(argv[k]));
        if (!source.open(QIODevice::ReadOnly))
            return Fail(
                QStringLiteral("cannot read %1: %2").arg(source.fileName(), source.errorString()));
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
    const QString table = lines.join(QLatin1String("\r\n")) + QLatin1String("\r\n");

    QFile in(program);
    if (!in.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("cannot read %1: %2").arg(program, in.errorString()));
    QByteArray image = in.readAll();
    in.close();
    const qsizetype area = image.indexOf(SectionMarker(QLatin1String(BeginningMarkSection)));
    if (area >= 0)
        image.truncate(area);
    image.append(BuildSection(QLatin1String(BeginningMarkSection), QByteArray()));
    image.append(BuildSection(QLatin1String(PhraseTableSection), Utf16LEWithMark(table)));

    QSaveFile out(program);
    if (!out.open(QIODevice::WriteOnly) || out.write(image) != image.size() || !out.commit())
        return Fail(QStringLiteral("cannot write %1: %2").arg(program, out.errorString()));
    return 0;
}
