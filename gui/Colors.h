#pragma once
// Colours are written as 0x00BBGGRR values, the way the program's designs
// state them.

#include <QColor>
#include <QtGlobal>

inline QColor FromBgr(quint32 bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}
