#include "compare/Hex32Unit.h"

QString IntToHex32(quint64 value) {
    static constexpr char Digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUV";
    // 64 bits need at most 13 digits of 5 bits each.
    char text[13];
    int start = int(sizeof text);
    do {
        text[--start] = Digits[value & 31];
        value >>= 5;
    } while (value != 0);
    return QString::fromLatin1(text + start, qsizetype(sizeof text) - start);
}
