#pragma once
// A reader that keeps one range of a file, often the whole file, in memory.

#include "platform/Platform.h"

#include <QString>
#include <memory>

enum class ReadResult : quint8 {
    Ok = 0,
    TooLarge = 1,
    ReadFailed = 2,
    OutOfRange = 3,
};

class TFileBlockReader {
public:
    static constexpr qint64 MaxBufferedBytes = 1073741824;

    TFileBlockReader() = default;
    ~TFileBlockReader() { Close(); }
    TFileBlockReader(const TFileBlockReader &) = delete;
    TFileBlockReader &operator=(const TFileBlockReader &) = delete;

    // Opening the name already held changes nothing, so the buffered file stays.
    bool Open(const QString &name);
    void Close();
    void FreeBuffer();
    ReadResult EnsureBuffered(qint64 position, qint64 count);
    ReadResult ReadAll() { return EnsureBuffered(0, Size); }
    // block points into the buffer until the next read or Close.
    ReadResult ReadBlock(qint32 count, const char *&block, qint64 position);

    QString FileName;
    bool Opened = false;
    bool HandleOpen = false;
    bool HasBuffer = false;
    qint64 BufferStart = 0;
    std::unique_ptr<char[]> Buffer;
    qint32 BufferLength = 0;
    qint64 Size = 0;

private:
    Platform::ReadFile File;
};
