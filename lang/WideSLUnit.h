#pragma once
// Text that needs characters of every language (the phrase table) travels as
// UTF-16; the settings file is plain 8-bit text. These routines read and write
// both and tell them apart by their byte order marks.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// Kinds of byte order mark, in the numbering the file routines report.
enum ByteOrderMarkKind {
    BomNone = 0,
    BomUtf8 = 1,
    BomUtf16LE = 2,
    BomUtf16BE = 3,
    BomUtf32LE = 4,
    BomUtf32BE = 5,
};

struct ByteOrderMark {
    int Kind = BomNone;
    int Length = 0;
};

// Code pages the conversions know. The system's own 8-bit code page is UTF-8.
constexpr int CodePageUtf8 = 65001;
constexpr int CodePageWindows1252 = 1252;
int SystemCodePage();

ByteOrderMark DetectByteOrderMark(const char *buffer, qint64 length);
inline ByteOrderMark DetectByteOrderMark(const QByteArray &bytes) {
    return DetectByteOrderMark(bytes.constData(), bytes.size());
}

enum SplitResult { SplitDone = 0, SplitNotUnicode = 1, SplitUnsupported = 2 };

class TWStringList;
// Splits UTF-16 little-endian bytes into lines; CR LF, LF CR, CR and LF each
// end one line. defaultKind applies when the buffer carries no mark.
int SplitUtf16Lines(const char *buffer, qint64 length, int defaultKind, TWStringList &list);
// The same for an 8-bit string list (the settings file).
int SplitUtf16Lines8(const char *buffer, qint64 length, int defaultKind, QStringList &list);

// A string list of wide strings, each with an optional object.
class TWStringList {
public:
    enum class TDuplicates { Ignore, Accept, Error };

    int Count() const { return int(Items.size()); }
    bool IsEmpty() const { return Items.isEmpty(); }
    const QString &operator[](int index) const { return Items[index].Text; }
    const QString &Strings(int index) const { return Items[index].Text; }
    void *Objects(int index) const { return Items[index].Object; }
    QStringList ToStringList() const;

    int Add(const QString &text) { return AddObject(text, nullptr); }
    int AddObject(const QString &text, void *object);
    void Insert(int index, const QString &text);
    void Put(int index, const QString &text);
    void Delete(int index);
    void Clear() { Items.clear(); }
    void Assign(const TWStringList &other) { Items = other.Items; }

    // Binary search in a sorted list; true when found, index is where the
    // text is or would go.
    bool Find(const QString &text, int &index) const;
    int IndexOf(const QString &text) const;

    bool Sorted() const { return IsSorted; }
    void SetSorted(bool sorted);
    bool CaseSensitive() const { return IsCaseSensitive; }
    void SetCaseSensitive(bool caseSensitive);
    TDuplicates Duplicates = TDuplicates::Ignore;

    // True when the file was read and understood: UTF-16 little-endian with its
    // mark, or 8-bit text without mark.
    bool LoadFromFile(const QString &path);
    // UTF-16 little-endian, CR LF after every line, written like SaveTextFile;
    // false when the file could not be written, errorText then says why.
    bool SaveToFile(const QString &path, bool withMark, QString *errorText = nullptr) const;

private:
    struct Item {
        QString Text;
        void *Object = nullptr;
    };
    int Compare(const QString &a, const QString &b) const;
    void Sort();

    QList<Item> Items;
    bool IsSorted = false;
    bool IsCaseSensitive = false;
};

void SetWideText(TWStringList &list, const QString &text);
QString GetWideText(const TWStringList &list, bool withMark);

// The text's UTF-16 units, low byte first; a mark only if the text begins with U+FEFF.
QByteArray Utf16LEBytes(const QString &text);
QString BytesToWide(const QByteArray &bytes);
QString AnsiToWide(const QByteArray &text, int codePage);
QByteArray WideToAnsi(const QString &text, int codePage);

// Windows-1252, the code page of old 8-bit texts and of worksheets that name
// none. The byte of a character, '?' for one the page does not hold; the
// character of a byte, the five bytes the page leaves empty read as the
// control characters of their number.
char Windows1252Byte(char16_t c);
QChar Windows1252Char(quint8 byte);

// Reads up to maximum bytes (0 = all); false for a missing, empty or too
// large file and on a read error.
bool ReadFileToString(const QString &path, qint64 maximum, QByteArray &bytes);

enum LoadTextResult { TextLoaded = 0, TextFileMissing = 1, TextFileUnreadable = 2 };
int LoadTextFile(const QString &path, QStringList &list);
// Writes every line followed by CR LF, in the system code page. The new content
// replaces the file only once it is complete, so a failed write never costs the
// old one. A read-only file is not touched: its read-only mark is the user's
// word that it stays as it is, so the result is false with "Permission denied"
// rather than the mark cleared behind the user's back. A symbolic link is
// replaced by the file, never written through. False on any failure, with the
// system's words for the cause in error; no list writes nothing and is true.
bool SaveTextFile(const QStringList *list, const QString &path, QString *error = nullptr);

// Files of 4 GiB or more are never read whole. Tests replace the size probe
// instead of creating such a file; nullptr restores the file system's answer.
void SetFileSizeProbe(std::function<qint64(const QString &)> probe);
// The file's size as the text readers see it (the probe's answer in tests).
qint64 ProbeFileSize(const QString &path);
