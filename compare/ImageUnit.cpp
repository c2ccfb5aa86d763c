#include "compare/ImageUnit.h"

#include "compare/ImageDecoder.h"

#include <cmath>

namespace {

inline int Blue(QRgb p) {
    return int(p & 0xFF);
}
inline int Green(QRgb p) {
    return int((p >> 8) & 0xFF);
}
inline int Red(QRgb p) {
    return int((p >> 16) & 0xFF);
}
inline QRgb Pixel(int red, int green, int blue) {
    return 0xFF000000u | (QRgb(red) << 16) | (QRgb(green) << 8) | QRgb(blue);
}

QRgb Mean2(QRgb a, QRgb b) {
    return Pixel((Red(a) + Red(b)) / 2, (Green(a) + Green(b)) / 2, (Blue(a) + Blue(b)) / 2);
}

// Rounds like the halving of a 2 x 2 block always has: only a remainder of 3
// goes up, so a sum of 2 gives 0 and 1020 stays 255.
int Mean4(int sum) {
    return (sum + (sum % 4 == 3 ? 1 : 0)) / 4;
}

const QRgb *ConstRow(const QImage &bitmap, int y) {
    return reinterpret_cast<const QRgb *>(bitmap.constScanLine(y));
}
QRgb *Row(QImage &bitmap, int y) {
    return reinterpret_cast<QRgb *>(bitmap.scanLine(y));
}

bool Fits(const QImage &bitmap, int boxWidth, int boxHeight) {
    return bitmap.width() <= boxWidth && bitmap.height() <= boxHeight;
}

bool CanHalve(const QImage &bitmap) {
    return bitmap.width() / 2 >= 2 && bitmap.height() / 2 >= 2;
}

// The scaled size of the bitmap in the box, or false when it already fits.
bool TargetSize(const QImage &bitmap, int boxWidth, int boxHeight, int &w, int &h) {
    const double s = FitScale(bitmap.width(), bitmap.height(), boxWidth, boxHeight);
    if (s >= 1.0)
        return false;
    // A very narrow picture would otherwise lose a whole side.
    w = qMax(1, ScaledLength(bitmap.width(), s, boxWidth));
    h = qMax(1, ScaledLength(bitmap.height(), s, boxHeight));
    return true;
}

} // namespace

double FitScale(int width, int height, int boxWidth, int boxHeight) {
    if (width <= 0 || height <= 0)
        return 1.0;
    double s = boxWidth >= width ? 1.0 : double(boxWidth) / width;
    if (height * s > boxHeight)
        s = double(boxHeight) / height;
    return s;
}

int ScaledLength(int length, double s, int boxLength) {
    const int scaled = int(std::trunc(length * s));
    return scaled + 1 == boxLength ? boxLength : scaled;
}

void ToBitmapFormat(QImage &bitmap) {
    if (bitmap.isNull() || bitmap.format() == BitmapFormat)
        return;
    if (!bitmap.hasAlphaChannel()) {
        bitmap.convertTo(BitmapFormat);
        return;
    }
    bitmap.convertTo(QImage::Format_ARGB32);
    if (bitmap.isNull() || !bitmap.reinterpretAsFormat(BitmapFormat))
        return;
    for (int y = 0; y < bitmap.height(); ++y) {
        QRgb *row = Row(bitmap, y);
        for (int x = 0; x < bitmap.width(); ++x)
            row[x] |= 0xFF000000u;
    }
}

void ResizeNearest(QImage &bitmap, int boxWidth, int boxHeight) {
    if (bitmap.isNull())
        return;
    ToBitmapFormat(bitmap);
    int w = 0, h = 0;
    if (!TargetSize(bitmap, boxWidth, boxHeight, w, h))
        return;
    const int W = bitmap.width(), H = bitmap.height();
    const double columnStep = double(W) / w;
    const double rowStep = double(H) / h;
    QImage result(w, h, BitmapFormat);
    double sourceRow = 0.0;
    for (int y = 0; y < h; ++y) {
        const QRgb *from = ConstRow(bitmap, qMin(int(sourceRow), H - 1));
        QRgb *to = Row(result, y);
        for (int x = 0; x < w; ++x)
            to[x] = from[qMin(int(x * columnStep), W - 1)];
        sourceRow += rowStep;
    }
    bitmap = std::move(result);
}

void ResizeSmooth(QImage &bitmap, int boxWidth, int boxHeight) {
    if (bitmap.isNull())
        return;
    ToBitmapFormat(bitmap);
    int w = 0, h = 0;
    if (!TargetSize(bitmap, boxWidth, boxHeight, w, h))
        return;
    const int W = bitmap.width(), H = bitmap.height();

    // A source column or row that is skipped is blended into the next one taken,
    // so thin lines do not simply vanish.
    QImage narrow(w, H, BitmapFormat);
    const double columnStep = double(W) / w;
    for (int y = 0; y < H; ++y) {
        const QRgb *from = ConstRow(bitmap, y);
        QRgb *to = Row(narrow, y);
        int previous = 0;
        for (int x = 0; x < w; ++x) {
            const int j = qMin(int(x * columnStep), W - 1);
            to[x] = j <= previous + 1 ? from[j] : Mean2(from[j - 1], from[j]);
            previous = j;
        }
    }

    QImage result(w, h, BitmapFormat);
    const double rowStep = double(H) / h;
    int previous = 0;
    for (int y = 0; y < h; ++y) {
        const int r = qMin(int(y * rowStep), H - 1);
        const QRgb *from = ConstRow(narrow, r);
        QRgb *to = Row(result, y);
        if (r <= previous + 1) {
            std::copy(from, from + w, to);
        } else {
            const QRgb *above = ConstRow(narrow, r - 1);
            for (int x = 0; x < w; ++x)
                to[x] = Mean2(above[x], from[x]);
        }
        previous = r;
    }
    bitmap = std::move(result);
}

void HalveBitmap(QImage &bitmap) {
    if (bitmap.isNull())
        return;
    ToBitmapFormat(bitmap);
    const int w = bitmap.width() / 2, h = bitmap.height() / 2;
    if (w < 2 || h < 2)
        return;
    QImage result(w, h, BitmapFormat);
    for (int y = 0; y < h; ++y) {
        const QRgb *upper = ConstRow(bitmap, 2 * y);
        const QRgb *lower = ConstRow(bitmap, 2 * y + 1);
        QRgb *to = Row(result, y);
        for (int x = 0; x < w; ++x) {
            const QRgb a = upper[2 * x], b = upper[2 * x + 1];
            const QRgb c = lower[2 * x], d = lower[2 * x + 1];
            to[x] = Pixel(Mean4(Red(a) + Red(b) + Red(c) + Red(d)),
                          Mean4(Green(a) + Green(b) + Green(c) + Green(d)),
                          Mean4(Blue(a) + Blue(b) + Blue(c) + Blue(d)));
        }
    }
    bitmap = std::move(result);
}

bool ShrinkToFit(QImage &bitmap, int boxWidth, int boxHeight) {
    if (bitmap.isNull() || boxWidth < 1 || boxHeight < 1)
        return false;
    ToBitmapFormat(bitmap);
    if (Fits(bitmap, boxWidth, boxHeight))
        return false;
    // Halving keeps the most detail for its cost, but a picture only a few
    // pixels wide cannot be halved; it is then resized straight into the box.
    const auto halveOrResize = [&] {
        if (CanHalve(bitmap))
            HalveBitmap(bitmap);
        else
            ResizeSmooth(bitmap, boxWidth, boxHeight);
    };
    while (!Fits(bitmap, boxWidth, boxHeight)) {
        const double s = FitScale(bitmap.width(), bitmap.height(), boxWidth, boxHeight);
        if (!CanHalve(bitmap)) {
            ResizeSmooth(bitmap, boxWidth, boxHeight);
        } else if (s < 0.15) {
            ResizeNearest(bitmap, 2 * boxWidth, 2 * boxHeight);
            halveOrResize();
        } else if (s <= 0.25 || s == 0.5) {
            HalveBitmap(bitmap);
            continue;
        } else if (s < 0.5) {
            ResizeSmooth(bitmap, 2 * boxWidth, 2 * boxHeight);
            halveOrResize();
        } else {
            ResizeSmooth(bitmap, boxWidth, boxHeight);
        }
        break;
    }
    return true;
}

QImage CreateGradientImage(int height, quint32 bottomColour, quint32 topColour) {
    if (height < 1)
        return {};
    QImage image(16, height, BitmapFormat);
    // 16.16 fixed point per channel; channel 0 is red in a 0x00BBGGRR value.
    int start[3], step[3];
    for (int c = 0; c < 3; ++c) {
        const int top = int((topColour >> (8 * c)) & 0xFF);
        const int bottom = int((bottomColour >> (8 * c)) & 0xFF);
        start[c] = top * 65536;
        step[c] = (bottom - top) * 65536 / height;
    }
    for (int y = 0; y < height; ++y) {
        const QRgb pixel = Pixel((start[0] + y * step[0]) / 65536, (start[1] + y * step[1]) / 65536,
                                 (start[2] + y * step[2]) / 65536);
        QRgb *row = Row(image, y);
        std::fill(row, row + 16, pixel);
    }
    return image;
}
