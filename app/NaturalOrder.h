#pragma once
#include <QString>

// Name order as people read it: letters compared without regard to case,
// runs of digits compared as numbers ("Shot 2" before "Shot 10"). Names
// equal in that sense are ordered by fewer leading zeros first, then by
// their exact characters, so the order is total and stable.
bool NaturalLess(const QString& a, const QString& b);
