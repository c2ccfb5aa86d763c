#pragma once
// Bitmap operations on decoded pictures (QImage in BitmapFormat): the scale that
// fits a picture into a box, the shrinking of thumbnails, and the vertical colour
// gradient used as a panel background.

#include <QImage>
#include <QtGlobal>

// The largest factor not above 1.0 that makes width x height fit the box; 1.0
// for an empty size.
double FitScale(int width, int height, int boxWidth, int boxHeight);
// One side of a picture scaled by s < 1: the length cut toward zero, but the box
// length itself when it falls just one short of it.
int ScaledLength(int length, double s, int boxLength);

// Turns any picture into BitmapFormat (alpha dropped, colour channels kept).
void ToBitmapFormat(QImage &bitmap);

// Shrink the bitmap to the scaled size within the box; nothing when it fits.
// The results are at least one pixel wide and high.
void ResizeNearest(QImage &bitmap, int boxWidth, int boxHeight);
void ResizeSmooth(QImage &bitmap, int boxWidth, int boxHeight);
// Half the width and height, each new pixel the rounded mean of a 2 x 2 block;
// nothing when a side would fall below 2 pixels.
void HalveBitmap(QImage &bitmap);
// Makes the bitmap fit the box, keeping its proportions; true when it was made
// smaller.
bool ShrinkToFit(QImage &bitmap, int boxWidth, int boxHeight);

// 16 x height pixels running from topColour in row 0 to bottomColour; colours
// are 0x00BBGGRR values. A null image for a height below 1.
QImage CreateGradientImage(int height, quint32 bottomColour, quint32 topColour);
