#include "app/NaturalOrder.h"

namespace {

// Compares the digit runs starting at a[i] and b[j] by value and advances
// both past them; leadingZeros gets the difference of their zero counts.
int CompareNumbers(const QString& a, qsizetype& i, const QString& b, qsizetype& j, int& leadingZeros) {
    auto skipZeros = [](const QString& s, qsizetype& k) {
        int zeros = 0;
        while (k < s.size() && s[k] == u'0') ++k, ++zeros;
        return zeros;
    };
    const int zerosA = skipZeros(a, i), zerosB = skipZeros(b, j);
    const qsizetype startA = i, startB = j;
    while (i < a.size() && a[i].isDigit()) ++i;
    while (j < b.size() && b[j].isDigit()) ++j;
    if (leadingZeros == 0) leadingZeros = zerosA - zerosB;
    const qsizetype lengthA = i - startA, lengthB = j - startB;
    if (lengthA != lengthB) return lengthA < lengthB ? -1 : 1;
    return QStringView(a).mid(startA, lengthA).compare(QStringView(b).mid(startB, lengthB));
}

int NaturalCompare(const QString& a, const QString& b, int& leadingZeros) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const int order = CompareNumbers(a, i, b, j, leadingZeros);
            if (order != 0) return order;
            continue;
        }
        const char32_t x = a[i].toCaseFolded().unicode(), y = b[j].toCaseFolded().unicode();
        if (x != y) return x < y ? -1 : 1;
        ++i, ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

}  // namespace

bool NaturalLess(const QString& a, const QString& b) {
    int leadingZeros = 0;
    const int order = NaturalCompare(a, b, leadingZeros);
    if (order != 0) return order < 0;
    if (leadingZeros != 0) return leadingZeros < 0;
    return a < b;
}
