#pragma once

#include <QString>

/// The decimal text of n with a leading "0" below 10: 7 gives "07", 12 "12", 100 "100".
QString TwoDigits(int n);
