#include "IntToBin.h"

QString IntToBin(int value, int digits)
{
    QString text;
    text.reserve(digits);
    for (int bit = digits - 1; bit >= 0; --bit)
        text.append(bit < 32 && ((unsigned(value) >> bit) & 1u) ? u'1' : u'0');
    return text;
}
