#pragma once

#include <QString>

// Exactly `digits` binary digits of value, most significant first; higher bits are
// dropped. IntToBin(10, 8) is "00001010".
QString IntToBin(int value, int digits);
