#include "compare/StreamUnit.h"

#include <new>

bool TFileBlockReader::Open(const QString &name) {
    if (Opened && FileName == name)
        return true;
    Close();
    if (!File.Open(name)) {
        File.Close();
        Opened = HandleOpen = false;
        return false;
    }
    Opened = HandleOpen = true;
    FileName = name;
    // The true size: cut to 32 bits, a file of 4 GiB + 10 bytes would pass for
    // a file of 10 bytes.
    Size = File.Size();
    return true;
}

void TFileBlockReader::Close() {
    FreeBuffer();
    if (HandleOpen)
        File.Close();
    HandleOpen = false;
    FileName.clear();
    Opened = false;
}

void TFileBlockReader::FreeBuffer() {
    if (!HasBuffer)
        return;
    Buffer.reset();
    BufferLength = 0;
    HasBuffer = false;
}

ReadResult TFileBlockReader::EnsureBuffered(qint64 position, qint64 count) {
    // Written so that no sum can overflow, whatever the caller passes.
    if (!Opened || position < 0 || count < 0 || position > Size || count > Size - position)
        return ReadResult::OutOfRange;
    if (count > MaxBufferedBytes)
        return ReadResult::TooLarge;
    if (HasBuffer) {
        if (BufferStart <= position && position + count <= BufferStart + BufferLength)
            return ReadResult::Ok;
        FreeBuffer();
    }
    if (count == 0)
        return ReadResult::Ok;
    Buffer.reset(new (std::nothrow) char[std::size_t(count)]);
    if (!Buffer) {
        HasBuffer = false;
        return ReadResult::TooLarge;
    }
    HasBuffer = true;
    BufferLength = qint32(count);
    BufferStart = position;
    if (!HandleOpen || !File.Seek(position) || !File.ReadExactly(Buffer.get(), count)) {
        FreeBuffer();
        return ReadResult::ReadFailed;
    }
    if (position == 0 && count == Size) {
        File.Close();
        HandleOpen = false;
    }
    return ReadResult::Ok;
}

ReadResult TFileBlockReader::ReadBlock(qint32 count, const char *&block, qint64 position) {
    block = nullptr;
    const ReadResult result = EnsureBuffered(position, count);
    if (result == ReadResult::Ok && Buffer)
        block = Buffer.get() + (position - BufferStart);
    return result;
}
