#include "rip/TwoDigits.h"

QString TwoDigits(int n)
{
    const QString text = QString::number(n);
    return n >= 0 && n < 10 ? u'0' + text : text;
}
