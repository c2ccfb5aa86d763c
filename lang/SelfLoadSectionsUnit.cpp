#include "lang/SelfLoadSectionsUnit.h"

#include <QDir>
#include <QFile>

#include "lang/MultiLingua.h"
#include "lang/WideSLUnit.h"
#include "platform/Platform.h"

#include <QtEndian>

namespace {
enum SectionLoadState : quint8 { NotTried = 0, FileRead = 1, NothingRead = 2 };

struct SectionState {
    quint8 LoadState = NotTried;
    QByteArray File; // the section area only
    qint64 AreaStart = 0;
    QString ProgramFile;
};

SectionState &State() {
    static SectionState state;
    return state;
}

QString ProgramFile() {
    const SectionState &s = State();
    return s.ProgramFile.isEmpty() ? Platform::ProgramFilePath() : s.ProgramFile;
}

bool IsCapital(QChar c) {
    return c >= QLatin1Char('A') && c <= QLatin1Char('Z');
}

// Items "name=value" separated by ";" after the "// " of a comment line.
qint32 IdFromComment(const QString &comment) {
    const QStringList items = comment.mid(3).split(QLatin1Char(';'));
    for (const QString &item : items) {
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        if (eq < 0 || item.left(eq).trimmed().compare(QLatin1String("ID"), Qt::CaseInsensitive))
            continue;
        bool ok = false;
        const qint32 id = item.mid(eq + 1).trimmed().toInt(&ok);
        return ok && id > 0 ? id : 0;
    }
    return 0;
}

void StoreAt(QStringList &texts, int index, const QString &text) {
    while (texts.size() <= index)
        texts.append(QString());
    texts[index] = text;
}
} // namespace

QByteArray SectionMarker(const QString &name) {
    const QByteArray plain = name.toLatin1();
    QByteArray marker;
    marker.reserve(plain.size() + 2);
    marker.append(char(0xF7));
    for (const char c : plain)
        marker.append(char(c ^ 0xA3));
    marker.append(char(0xF7));
    return marker;
}

QByteArray BuildSection(const QString &name, const QByteArray &content) {
    QByteArray section = SectionMarker(name);
    char length[4];
    qToLittleEndian(quint32(content.size()), length);
    section.append(length, 4);
    section.append(content);
    return section;
}

namespace {
// Reads the program file in chunks and keeps only what follows the first
// "Section:BeginningMark" marker: the program image before it can be many
// megabytes and nothing needs it in memory.
bool ReadSectionArea(const QString &path, QByteArray &area, qint64 &start) {
    const qint64 size = ProbeFileSize(path);
    if (size <= 0 || size >= (qint64(1) << 32))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray marker = SectionMarker(QLatin1String(BeginningMarkSection));
    constexpr qint64 Chunk = qint64(1) << 18;
    QByteArray window;
    qint64 windowStart = 0;
    for (;;) {
        const QByteArray more = file.read(Chunk);
        if (file.error() != QFileDevice::NoError)
            return false;
        if (more.isEmpty()) {
            start = windowStart + window.size();
            area.clear();
            return true;
        }
        window += more;
        const qsizetype p = window.indexOf(marker);
        if (p >= 0) {
            start = windowStart + p;
            area = window.mid(p) + file.readAll();
            return file.error() == QFileDevice::NoError;
        }
        const qsizetype keep = std::min<qsizetype>(window.size(), marker.size() - 1);
        windowStart += window.size() - keep;
        window = window.right(keep);
    }
}
} // namespace

void LoadSections() {
    SectionState &s = State();
    if (s.LoadState == FileRead)
        return;
    s.LoadState = NothingRead;
    qint64 start = 0;
    if (!ReadSectionArea(ProgramFile(), s.File, start))
        return;
    s.LoadState = FileRead;
    s.AreaStart = start;
}

qint64 ProgramPartSize() {
    return State().AreaStart;
}

QByteArrayView SectionArea() {
    return QByteArrayView(State().File);
}

bool GetSection(const QString &name, QByteArrayView area, QByteArray &content) {
    content.clear();
    if (State().LoadState != FileRead)
        return false;
    const QByteArray marker = SectionMarker(name);
    const qsizetype p = area.indexOf(marker);
    if (p < 0)
        return false;
    const QByteArrayView rest = area.sliced(p + marker.size());
    if (rest.size() < 4)
        return false;
    const quint32 length = qFromLittleEndian<quint32>(rest.data());
    // A length that runs past the end of the file gives what is there.
    content = rest.sliced(4, std::min<qsizetype>(length, rest.size() - 4)).toByteArray();
    return true;
}

QStringList PhraseFilesOf(const QString &programFile) {
    const QString folder = programFile.left(programFile.lastIndexOf(Platform::PathDelimiter()) + 1);
    return {Platform::ChangeFileExt(programFile, QStringLiteral(".lng")),
            QDir::cleanPath(folder + QLatin1String(DUPLISCAN_INSTALLED_PHRASE_TABLE))};
}

void LoadPhraseTable(bool keepLines) {
    LoadSections();
    QByteArray content;
    if (GetSection(QLatin1String(PhraseTableSection), SectionArea(), content)) {
        LoadPhraseText(PhraseTable(), BytesToWide(content), keepLines);
        return;
    }
    for (const QString &path : PhraseFilesOf(ProgramFile()))
        if (LoadPhraseFile(PhraseTable(), path, keepLines))
            return;
}

void LoadPhraseText(tMLSystem *table, const QString &text, bool keepLines) {
    TWStringList lines;
    SetWideText(lines, text);
    LoadGroups(table, lines, keepLines);
}

bool LoadPhraseFile(tMLSystem *table, const QString &path, bool keepLines) {
    TWStringList lines;
    if (!lines.LoadFromFile(path) || lines.IsEmpty())
        return false;
    LoadGroups(table, lines, keepLines);
    return true;
}

void LoadGroups(tMLSystem *table, const TWStringList &lines, bool keepLines) {
    table->Clear();
    int index = 0;
    while (index < lines.Count()) {
        auto row = std::make_unique<tMLGroup>();
        row->Owner = table;
        if (ReadGroup(*row, lines, index, keepLines))
            table->Groups.push_back(std::move(row));
    }
}

bool ReadGroup(tMLGroup &row, const TWStringList &lines, int &index, bool keepLines) {
    row.Reset();
    while (index < lines.Count() && lines[index].trimmed().isEmpty())
        ++index;
    if (index >= lines.Count())
        return false;
    if (keepLines)
        row.SourceLines = std::make_unique<TWStringList>();
    tMLSystem *table = row.Owner ? row.Owner : PhraseTable();
    bool languageLine = false;
    while (index < lines.Count()) {
        const QString wide = lines[index].trimmed();
        ++index;
        const QString line = AnsiToWide(WideToAnsi(wide, SystemCodePage()), SystemCodePage());
        if (line.isEmpty())
            break;
        QString key, value;
        if (line.startsWith(QLatin1Char('/'))) {
            key = line.left(2);
            value = line.mid(2);
        } else {
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (eq < 0)
                continue;
            key = line.left(eq);
            value = line.mid(eq + 1);
        }
        key = key.trimmed().toUpper().left(15);
        value = value.trimmed();

        if (key == QLatin1String("//")) {
            row.Comment = wide;
            if (const qint32 id = IdFromComment(wide); id > 0)
                row.Id = id;
            continue;
        }
        const auto other =
            std::find_if(key.begin(), key.end(), [](QChar c) { return !IsCapital(c); });
        if (other != key.end()) {
            const qsizetype at = other - key.begin();
            bool ok = false;
            const qint32 id = key.mid(at).toInt(&ok);
            row.Id = ok ? id : -1;
            key.truncate(at);
            if (row.Id < 1)
                continue;
        }
        if (!IsLanguageCode(key))
            continue;
        const int language = table->AddLanguage(key);
        StoreAt(row.Texts, language, value);
        if (keepLines) {
            while (row.SourceLines->Count() <= language)
                row.SourceLines->Add(QString());
            row.SourceLines->Put(language, wide);
        }
        languageLine = true;
    }
    return languageLine;
}

TWStringList BuildSaveLines(const tMLSystem *table, const QString &code) {
    TWStringList lines;
    const int codeIndex = code.isEmpty() ? -1 : table->IndexOfLanguage(code);
    for (const auto &row : table->Groups) {
        if (!row->SourceLines)
            continue;
        if (codeIndex >= 0 && !row->Text(codeIndex).isEmpty())
            continue;
        bool added = false;
        for (int k = 0; k < int(table->Languages.size()); ++k) {
            if (row->Text(k).isEmpty() || k >= row->SourceLines->Count() ||
                (*row->SourceLines)[k].trimmed().isEmpty())
                continue;
            if (!added && !row->Comment.isEmpty())
                lines.Add(row->Comment);
            lines.Add((*row->SourceLines)[k]);
            added = true;
        }
        if (added)
            lines.Add(QString());
    }
    return lines;
}

bool SavePhrases(const tMLSystem *table, bool missingOnly, const QString &path,
                 QString *errorText) {
    TWStringList lines = BuildSaveLines(table, missingOnly ? table->CurrentCode : QString());
    // Only German, English and the language shown go to the translator.
    const QString allowed = QStringLiteral(";DE;EN;") + table->CurrentCode + QStringLiteral(";//;");
    for (int k = lines.Count() - 1; k >= 0; --k) {
        const QString &line = lines[k];
        if (line.size() >= 3 && line[2] == QLatin1Char('=') &&
            !allowed.contains(QLatin1Char(';') + line.left(2) + QLatin1Char(';')))
            lines.Delete(k);
    }
    return lines.SaveToFile(path, true, errorText);
}

void SetProgramFileForTests(const QString &path) {
    ResetSections();
    State().ProgramFile = path;
}

void ResetSections() {
    State() = SectionState();
}
