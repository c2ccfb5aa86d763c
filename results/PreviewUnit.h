#pragma once
// What the image preview shows for a row of the result list, and how a
// thumbnail is made, decided without a window.

#include "compare/ImageDecoder.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

// Whether selecting a row shows the preview (the View menu's check); on at
// program start.
bool &PreviewEnabled();
void ResetPreview();

struct PreviewBlock {
    int Group = -1;
    QStringList Paths;
    // The selected row's own path when it is among Paths, else empty.
    QString Current;
};
// The pictures of the row's block in list order. Deleted and virtual files are
// left out, and so are files without an image fingerprint unless their name is
// an image file's. After a search for identical contents the files of a block
// are one picture, shown once. nullopt for a row outside the list.
std::optional<PreviewBlock> PreviewBlockOf(int row);

// A single picture needs no room for a second: the window's client area
// shrinks to this height and gets its former height back with the next block
// of several pictures.
inline constexpr int SingleImageClientHeight = 284;
struct PreviewHeight {
    int Height;
    int Saved;
};
PreviewHeight PreviewClientHeight(int pictures, int height, int saved);

// Thumbnails fit into this square; their frame adds room for three lines.
inline constexpr int ThumbnailSide = 200;
inline constexpr int ThumbnailTextHeight = 80;

struct LoadedPicture {
    bool Loaded = false;
    QImage Bitmap;  // shrunk into the box
    QSize FullSize; // the picture's own size
    qint64 FileBytes = 0;
};
// Reads the file, decodes it with the loader and shrinks it into the box,
// keeping its proportions. Not loaded when the file is missing, empty or no
// picture.
LoadedPicture LoadPicture(ImageLoader &loader, const QString &path, QSize box);

// "640 x 480 pixel, 200 kb": the picture's own size and the file's kilobytes.
QString ThumbnailSizeText(const LoadedPicture &picture);
// The name after the last delimiter, and the folder before it (delimiter kept).
QString FileNamePart(const QString &path);
QString FolderPart(const QString &path);
