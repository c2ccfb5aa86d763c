#pragma once
// Writing a file the user may already have without putting it at risk: the new
// content goes to a file of its own beside the old one and takes the old one's
// place only once it is complete and on the disk. A failure leaves the old file
// as it was and no trace of the new one, and names its cause.

#include "platform/Leftovers.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

namespace Platform {

class ReplacingFile : public QIODevice {
public:
    // The path is taken by its exact bytes (see EncodeName).
    explicit ReplacingFile(const QString &path);
    // Abandons what was written unless Commit put it in place.
    ~ReplacingFile() override;

    // Opens for writing (WriteOnly is the one mode). What is at the path decides:
    // - nothing, a regular file or a symbolic link: a new file beside it, which
    //   keeps a regular file's permissions; a link is replaced, never written
    //   through, and what it points to stays as it is;
    // - a read-only file (its owner may not write it): refused with "Permission
    //   denied", the mark is the user's word that the file stays as it is;
    // - a FIFO or a character device (/dev/null), or a link to one (/dev/fd/N
    //   of a pipe): written directly, it holds nothing that could be lost;
    // - a folder or anything else: refused.
    // A signal that ends the program meanwhile removes the new file.
    bool open(OpenMode mode = WriteOnly) override;
    // What open would refuse, found without opening or making anything (a
    // FIFO would block until it has a reader, and a reader would see the end of
    // its data when it is closed again). False with the cause in error.
    static bool CanOpen(const QString &path, QString *error = nullptr);
    // Puts the content in place; false after any failure, the new file removed.
    // errorString() then gives the first failure's cause in the system's words
    // ("No space left on device").
    bool Commit();
    // Abandons the new file; the old one stays as it was.
    void close() override;

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 length) override;

private:
    bool Fail(int error);

    QByteArray Target;
    QByteArray Temporary; // empty when written directly
    LeftoverMark TemporaryMark;
    int Descriptor = -1;
    bool WriteFailed = false;
};

// The whole content at once; false with the cause in error when it failed.
bool ReplaceFileContent(const QString &path, const QByteArray &content, QString *error = nullptr);

} // namespace Platform
