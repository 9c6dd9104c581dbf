#pragma once
// The lenient reading of a typed port number.
#include <QString>

// Leading blanks skipped; optional sign; decimal digits, or hexadecimal after "$", "x", "X", "0x", "0X";
// stops at the first other character and answers the value read so far (0 when no digit was read).
int readLenientNumber(const QString &text);
