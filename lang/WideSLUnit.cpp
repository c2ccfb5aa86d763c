#include "lang/WideSLUnit.h"

#include "platform/Platform.h"
#include "platform/ReplacingFile.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <iterator>

namespace {
constexpr qint64 FourGiB = qint64(1) << 32;
// Text files go out in chunks of this size, as the settings file always has.
constexpr qsizetype WriteChunk = 61440;

std::function<qint64(const QString &)> &SizeProbe() {
    static std::function<qint64(const QString &)> probe;
    return probe;
}

// Windows-1252 characters of the bytes 0x80..0x9F, 0 for the five bytes the
// page leaves without one; 0xA0..0xFF are the same as in Unicode.
constexpr char16_t Windows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool IsBreak(char16_t unit) {
    return unit == 13 || unit == 10;
}

// Walks UTF-16 little-endian units after the mark and hands out the lines.
template <typename AddLine> void SplitUnits(const unsigned char *p, qint64 length, AddLine add) {
    QString line;
    char16_t previous = 0;
    for (qint64 k = 0; k + 1 < length; k += 2) {
        const char16_t unit = char16_t(p[k] | (p[k + 1] << 8));
        if (IsBreak(unit)) {
            if (IsBreak(previous) && previous != unit) {
                previous = 0; // the second half of CR LF or LF CR
                continue;
            }
            add(line);
            line.clear();
            previous = unit;
        } else {
            line.append(QChar(unit));
            previous = 0;
        }
    }
    if (!line.isEmpty())
        add(line);
}

template <typename AddLine>
int SplitUtf16(const char *buffer, qint64 length, int defaultKind, AddLine add) {
    if (length <= 0)
        return SplitDone;
    const ByteOrderMark mark = DetectByteOrderMark(buffer, length);
    const int kind = mark.Kind != BomNone ? mark.Kind : defaultKind;
    if (kind == BomNone)
        return SplitNotUnicode;
    if (kind != BomUtf16LE)
        return SplitUnsupported;
    SplitUnits(reinterpret_cast<const unsigned char *>(buffer) + mark.Length, length - mark.Length,
               add);
    return SplitDone;
}

// 8-bit lines end at CR LF, CR or LF; a last line needs no break.
QStringList SplitAnsiLines(const QByteArray &bytes) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype k = 0; k < n; ++k) {
        const char c = bytes[k];
        if (c != '\r' && c != '\n')
            continue;
        lines.append(AnsiToWide(bytes.mid(start, k - start), SystemCodePage()));
        if (c == '\r' && k + 1 < n && bytes[k + 1] == '\n')
            ++k;
        start = k + 1;
    }
    if (start < n)
        lines.append(AnsiToWide(bytes.mid(start), SystemCodePage()));
    return lines;
}

} // namespace

QByteArray Utf16LEBytes(const QString &text) {
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    qToLittleEndian<char16_t>(text.utf16(), text.size(), bytes.data());
    return bytes;
}

char Windows1252Byte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return char(c);
    const auto *at = std::find(std::begin(Windows1252High), std::end(Windows1252High), c);
    return c != 0 && at != std::end(Windows1252High) ? char(0x80 + (at - Windows1252High)) : '?';
}

QChar Windows1252Char(quint8 byte) {
    if (byte < 0x80 || byte >= 0xA0 || Windows1252High[byte - 0x80] == 0)
        return QChar(byte);
    return QChar(Windows1252High[byte - 0x80]);
}

int SystemCodePage() {
    return CodePageUtf8;
}

// Size of a regular file, -1 when there is none.
qint64 ProbeFileSize(const QString &path) {
    if (SizeProbe())
        return SizeProbe()(path);
    const Platform::FileInfo info = Platform::StatPath(path, true);
    return info.Exists && info.IsFile ? info.Size : -1;
}

void SetFileSizeProbe(std::function<qint64(const QString &)> probe) {
    SizeProbe() = std::move(probe);
}

ByteOrderMark DetectByteOrderMark(const char *buffer, qint64 length) {
    if (length < 2)
        return {};
    const auto *b = reinterpret_cast<const unsigned char *>(buffer);
    if (length >= 4) {
        if (b[0] == 0xFF && b[1] == 0xFE && b[2] == 0 && b[3] == 0)
            return {BomUtf32LE, 4};
        if (b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF)
            return {BomUtf32BE, 4};
    }
    if (length >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
        return {BomUtf8, 3};
    if (b[0] == 0xFF && b[1] == 0xFE)
        return {BomUtf16LE, 2};
    if (b[0] == 0xFE && b[1] == 0xFF)
        return {BomUtf16BE, 2};
    return {};
}

int SplitUtf16Lines(const char *buffer, qint64 length, int defaultKind, TWStringList &list) {
    list.Clear();
    return SplitUtf16(buffer, length, defaultKind, [&](const QString &line) { list.Add(line); });
}

int SplitUtf16Lines8(const char *buffer, qint64 length, int defaultKind, QStringList &list) {
    list.clear();
    return SplitUtf16(buffer, length, defaultKind, [&](const QString &line) {
        // The 8-bit list holds what the system code page can hold.
        list.append(AnsiToWide(WideToAnsi(line, SystemCodePage()), SystemCodePage()));
    });
}

QStringList TWStringList::ToStringList() const {
    QStringList lines;
    lines.reserve(Items.size());
    for (const Item &item : Items)
        lines.append(item.Text);
    return lines;
}

int TWStringList::Compare(const QString &a, const QString &b) const {
    return a.compare(b, IsCaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive);
}

bool TWStringList::Find(const QString &text, int &index) const {
    int low = 0, high = Count() - 1;
    bool found = false;
    while (low <= high) {
        const int middle = (low + high) / 2;
        const int c = Compare(Items[middle].Text, text);
        if (c < 0) {
            low = middle + 1;
        } else {
            high = middle - 1;
            if (c == 0) {
                found = true;
                if (Duplicates != TDuplicates::Accept)
                    low = middle;
            }
        }
    }
    index = low;
    return found;
}

int TWStringList::IndexOf(const QString &text) const {
    if (IsSorted) {
        int index = 0;
        return Find(text, index) ? index : -1;
    }
    for (int k = 0; k < Count(); ++k)
        if (Compare(Items[k].Text, text) == 0)
            return k;
    return -1;
}

int TWStringList::AddObject(const QString &text, void *object) {
    if (!IsSorted) {
        Items.append({text, object});
        return Count() - 1;
    }
    int index = 0;
    if (Find(text, index) && Duplicates != TDuplicates::Accept)
        return index;
    Items.insert(index, {text, object});
    return index;
}

void TWStringList::Insert(int index, const QString &text) {
    if (IsSorted || index < 0 || index > Count())
        return;
    Items.insert(index, {text, nullptr});
}

void TWStringList::Put(int index, const QString &text) {
    if (IsSorted || index < 0 || index >= Count())
        return;
    Items[index].Text = text;
}

void TWStringList::Delete(int index) {
    if (index >= 0 && index < Count())
        Items.removeAt(index);
}

void TWStringList::Sort() {
    std::stable_sort(Items.begin(), Items.end(),
                     [this](const Item &a, const Item &b) { return Compare(a.Text, b.Text) < 0; });
}

void TWStringList::SetSorted(bool sorted) {
    if (sorted && !IsSorted)
        Sort();
    IsSorted = sorted;
}

void TWStringList::SetCaseSensitive(bool caseSensitive) {
    IsCaseSensitive = caseSensitive;
    if (IsSorted)
        Sort();
}

bool TWStringList::LoadFromFile(const QString &path) {
    Clear();
    QByteArray bytes;
    if (!ReadFileToString(path, 0, bytes))
        return false;
    switch (SplitUtf16Lines(bytes.constData(), bytes.size(), BomNone, *this)) {
    case SplitDone:
        return true;
    case SplitNotUnicode:
        for (const QString &line : SplitAnsiLines(bytes))
            Add(line);
        return true;
    default:
        return false;
    }
}

bool TWStringList::SaveToFile(const QString &path, bool withMark, QString *errorText) const {
    return Platform::ReplaceFileContent(path, Utf16LEBytes(GetWideText(*this, withMark)),
                                        errorText);
}

void SetWideText(TWStringList &list, const QString &text) {
    const QByteArray bytes = Utf16LEBytes(text);
    SplitUtf16Lines(bytes.constData(), bytes.size(), BomUtf16LE, list);
}

QString GetWideText(const TWStringList &list, bool withMark) {
    if (list.IsEmpty())
        return {};
    QString text;
    if (withMark)
        text.append(QChar(0xFEFF));
    for (int k = 0; k < list.Count(); ++k)
        text.append(list[k]).append(QLatin1String("\r\n"));
    return text;
}

QString BytesToWide(const QByteArray &bytes) {
    const ByteOrderMark mark = DetectByteOrderMark(bytes);
    if (mark.Kind == BomUtf8)
        return QString::fromUtf8(bytes.constData() + mark.Length, bytes.size() - mark.Length);
    if (mark.Kind != BomNone && mark.Kind != BomUtf16LE)
        return {};
    const qsizetype units = (bytes.size() - mark.Length) / 2;
    QString text(units, Qt::Uninitialized);
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData()) + mark.Length;
    for (qsizetype k = 0; k < units; ++k)
        text[k] = QChar(char16_t(p[2 * k] | (p[2 * k + 1] << 8)));
    return text;
}

QString AnsiToWide(const QByteArray &text, int codePage) {
    if (codePage != CodePageWindows1252)
        return QString::fromUtf8(text).normalized(QString::NormalizationForm_C);
    QString wide(text.size(), Qt::Uninitialized);
    for (qsizetype k = 0; k < text.size(); ++k)
        wide[k] = Windows1252Char(quint8(text[k]));
    return wide;
}

QByteArray WideToAnsi(const QString &text, int codePage) {
    if (text.isEmpty())
        return {};
    if (codePage != CodePageWindows1252)
        return text.toUtf8();
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype k = 0; k < text.size(); ++k)
        bytes[k] = Windows1252Byte(text[k].unicode());
    return bytes;
}

bool ReadFileToString(const QString &path, qint64 maximum, QByteArray &bytes) {
    bytes.clear();
    const qint64 size = ProbeFileSize(path);
    if (size <= 0 || size >= FourGiB)
        return false;
    const qint64 wanted = maximum >= 1 ? std::min(size, maximum) : size;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.read(wanted);
    if (bytes.size() != wanted) {
        bytes.clear();
        return false;
    }
    return true;
}

int LoadTextFile(const QString &path, QStringList &list) {
    list.clear();
    const Platform::FileInfo info = Platform::StatPath(path, true);
    if (!info.Exists)
        return TextFileMissing;
    // Only regular files are read, so a pipe in its place cannot block us.
    QFile file(path);
    if (!info.IsFile || !file.open(QIODevice::ReadOnly))
        return TextFileUnreadable;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return TextFileUnreadable;
    if (DetectByteOrderMark(bytes).Kind != BomNone) {
        if (SplitUtf16Lines8(bytes.constData(), bytes.size(), BomNone, list) != SplitDone) {
            list.clear();
            return TextFileUnreadable;
        }
        return TextLoaded;
    }
    list = SplitAnsiLines(bytes);
    return TextLoaded;
}

bool SaveTextFile(const QStringList *list, const QString &path, QString *error) {
    if (!list)
        return true;
    Platform::ReplacingFile file(path);
    bool written = file.open();
    QByteArray buffer;
    for (qsizetype k = 0; written && k < list->size(); ++k) {
        buffer.append(WideToAnsi(list->at(k), SystemCodePage())).append("\r\n");
        if (buffer.size() >= WriteChunk || k + 1 == list->size()) {
            written = file.write(buffer) == buffer.size();
            buffer.clear();
        }
    }
    if (written && file.Commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}
