#pragma once
// Image decoding through Qt's image readers (where Windows has GDI+; the two
// routines that make the decoders ready keep their Windows names). A decoded picture is handed on
// as a QImage in Format_RGB32: blue, green and red per pixel (the fourth byte is always 0xFF), rows
// from the top. Every routine works without a window. Decoding may run on several
// threads at once once StartupGdiplus has succeeded on one of them.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QtGlobal>

#include <functional>

// Pictures with more pixels than this count as undecodable, so that one huge or
// forged file cannot take the machine's memory. The size in the file's header
// is checked before anything is decoded.
inline constexpr qint64 MaxImagePixels = 100'000'000;
// Files above this size are not read at all: it holds any picture within the
// pixel limit stored uncompressed with 24 bits per pixel, with room to spare.
inline constexpr qint64 MaxImageFileBytes = 320LL * 1024 * 1024;
// What a decoder may allocate for one picture (MiB): the pixel limit at 4 bytes
// per pixel. It catches formats whose header does not tell the size up front.
inline constexpr int ImageAllocationLimitMB = 400;
inline constexpr QImage::Format BitmapFormat = QImage::Format_RGB32;

// True when Qt's readers can decode BMP, GIF, JPEG, PNG and TIFF files (TIFF
// comes from the image formats plugins). Without them the image comparison is
// unavailable; the rest of the program is not affected.
bool LoadGdiplusLibrary();
// Makes Qt's decoders ready (including the memory limit); false when unavailable.
bool StartupGdiplus();

// The decoded picture in BitmapFormat, or a null QImage when the file cannot be
// read or decoded, is empty, or is larger than the limits above.
QImage LoadImageAsBitmap(const QString &path);
// As LoadImageAsBitmap for a picture that is only looked at in coarse cells:
// a JPEG whose sides allow it comes at the smallest of the codec's own
// scales (1/2, 1/4, 1/8) that is still at least leastFor(its size) in both
// directions, which saves most of its decoding. fullSize is the picture's own
// size.
using LeastSize = std::function<QSize(QSize)>;
QImage LoadReducedBitmap(const QString &path, const LeastSize &leastFor, QSize &fullSize);
// Decodes into an existing picture, keeping the file's own pixel format (and its
// transparency) for display, as the tips pages need. False where
// LoadImageAsBitmap gives null.
bool LoadImageIntoGraphic(const QString &path, QImage &target);

// Gives back the memory the calling thread kept from decoding the largest
// image so far (other threads free theirs when they end).
void ReleaseImageCache();

// A decoder with a file buffer of its own, whose memory its owner gives back
// when it likes (the preview's thread): the routines above keep one buffer per
// thread. It decodes only once StartupGdiplus has made the decoders ready.
class ImageLoader {
public:
    // As LoadImageAsBitmap.
    QImage LoadAsBitmap(const QString &path);
    // As ReleaseImageCache, for this loader's buffer.
    void Release();

private:
    QByteArray FileBytes;
};

// "BMP", "GIF", "JPG", "JPE", "JPEG", "PNG", "TIF", "TIFF" in any case, with or
// without one leading dot.
bool IsImageExt(const QString &extension);
// Applies IsImageExt to the path's extension (from the last dot of the name).
bool IsImageFile(const QString &path);

// Back to the state at program start, for tests.
void ResetImageDecoder();
