#pragma once
// Base-32 numbers in text: digits 0-9 then A-V, as used for the unique part of
// temporary file names.

#include <QString>
#include <QtGlobal>

// Most significant digit first, without leading zeros ("0" for zero).
QString IntToHex32(quint64 value);
