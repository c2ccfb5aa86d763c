#include "compare/ImageDecoder.h"

#include "compare/ImageUnit.h"
#include "platform/MutedStandardError.h"
#include "platform/Platform.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QList>

#include <atomic>

namespace {

struct DecoderState {
    bool Available = false;
    // Read by decoders on other threads (the search's workers, ImageLoader).
    std::atomic<bool> Started = false;
};

DecoderState &State() {
    static DecoderState state;
    return state;
}

// Every image file the shared routines decode passes through this buffer. It
// keeps the memory of the largest file so far, so a run over many pictures
// allocates it only once; each thread that decodes has its own.
QByteArray &ThreadFileBytes() {
    thread_local QByteArray bytes;
    return bytes;
}

bool ReadWholeFile(const QString &path, QByteArray &bytes) {
    Platform::ReadFile file;
    if (!file.Open(path))
        return false;
    const qint64 size = file.Size();
    if (size <= 0 || size > MaxImageFileBytes)
        return false;
    bytes.resize(size);
    return file.ReadExactly(bytes.data(), size);
}

bool WithinPixelLimit(const QSize &size) {
    return qint64(size.width()) * qint64(size.height()) <= MaxImagePixels;
}

// The JPEG codec's own scaling, 1/2 to 1/8, decodes a fraction of the work.
// Only a factor that divides both sides is taken: then the codec gives
// exactly that size and nothing is resampled after it.
QSize ReducedJpegSize(const QSize &full, const QSize &least) {
    for (const int d : {8, 4, 2}) {
        if (full.width() % d == 0 && full.height() % d == 0 && full.width() / d >= least.width() &&
            full.height() / d >= least.height())
            return full / d;
    }
    return full;
}

// Decodes the file into picture in whatever format the decoder gives, reading
// it through bytes. With leastFor a JPEG may come at a reduced scale of at
// least leastFor(its size); fullSize is the picture's own.
bool DecodeFile(const QString &path, QImage &picture, QByteArray &bytes,
                const LeastSize &leastFor = {}, QSize *fullSize = nullptr) {
    if (!ReadWholeFile(path, bytes))
        return false;
    // The buffer is read through a raw view so that the kept memory is never
    // copied or detached.
    const QByteArray view = QByteArray::fromRawData(bytes.constData(), bytes.size());
    QBuffer device;
    device.setData(view);
    if (!device.open(QIODevice::ReadOnly))
        return false;
    // A damaged picture is simply not compared; what the decoder has to say
    // about it is no message for the user.
    const Platform::MutedStandardError muted;
    QImageReader reader(&device);
    reader.setAutoTransform(false);
    const QSize announced = reader.size();
    if (announced.isValid() && !WithinPixelLimit(announced))
        return false;
    QSize wanted;
    if (leastFor && announced.isValid() && reader.format() == "jpeg")
        if (const QSize reduced = ReducedJpegSize(announced, leastFor(announced));
            reduced != announced)
            wanted = reduced;
    if (wanted.isValid())
        reader.setScaledSize(wanted);
    QImage decoded;
    if (!reader.read(&decoded) || decoded.isNull() || !WithinPixelLimit(decoded.size()))
        return false;
    if (wanted.isValid() && decoded.size() != wanted)
        return false; // the codec did not scale as it says; never a guess
    if (fullSize)
        *fullSize = wanted.isValid() ? announced : decoded.size();
    picture = std::move(decoded);
    return true;
}

QImage DecodeAsBitmap(const QString &path, QByteArray &bytes, const LeastSize &leastFor = {},
                      QSize *fullSize = nullptr) {
    QImage picture;
    if (!DecodeFile(path, picture, bytes, leastFor, fullSize))
        return {};
    // Pixels keep their colour channels whatever their transparency, so a
    // picture and a copy saved without alpha give the same bitmap.
    ToBitmapFormat(picture);
    return picture;
}

} // namespace

bool LoadGdiplusLibrary() {
    DecoderState &state = State();
    if (state.Available)
        return true;
    const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    for (const char *needed : {"bmp", "gif", "jpeg", "png", "tiff"}) {
        if (!formats.contains(QByteArray(needed)))
            return false;
    }
    state.Available = true;
    return true;
}

bool StartupGdiplus() {
    DecoderState &state = State();
    if (state.Started)
        return true;
    if (!LoadGdiplusLibrary())
        return false;
    QImageReader::setAllocationLimit(ImageAllocationLimitMB);
    state.Started = true;
    return true;
}

QImage LoadImageAsBitmap(const QString &path) {
    if (!StartupGdiplus())
        return {};
    return DecodeAsBitmap(path, ThreadFileBytes());
}

QImage LoadReducedBitmap(const QString &path, const LeastSize &leastFor, QSize &fullSize) {
    if (!StartupGdiplus())
        return {};
    return DecodeAsBitmap(path, ThreadFileBytes(), leastFor, &fullSize);
}

QImage ImageLoader::LoadAsBitmap(const QString &path) {
    if (!State().Started)
        return {};
    return DecodeAsBitmap(path, FileBytes);
}

void ImageLoader::Release() {
    FileBytes = QByteArray();
}

bool LoadImageIntoGraphic(const QString &path, QImage &target) {
    QImage picture;
    if (!StartupGdiplus() || !DecodeFile(path, picture, ThreadFileBytes()))
        return false;
    target = std::move(picture);
    return true;
}

void ReleaseImageCache() {
    ThreadFileBytes() = QByteArray();
}

bool IsImageExt(const QString &extension) {
    QString upper = extension.startsWith(QLatin1Char('.')) ? extension.mid(1) : extension;
    for (QChar &c : upper) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    }
    static const QStringList Extensions = {QStringLiteral("BMP"),  QStringLiteral("GIF"),
                                           QStringLiteral("JPG"),  QStringLiteral("JPE"),
                                           QStringLiteral("JPEG"), QStringLiteral("PNG"),
                                           QStringLiteral("TIF"),  QStringLiteral("TIFF")};
    return Extensions.contains(upper);
}

bool IsImageFile(const QString &path) {
    const qsizetype name = path.lastIndexOf(Platform::PathDelimiter()) + 1;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < name)
        return false;
    return IsImageExt(path.mid(dot));
}

void ResetImageDecoder() {
    DecoderState &state = State();
    state.Available = false;
    state.Started = false;
    ReleaseImageCache();
}
