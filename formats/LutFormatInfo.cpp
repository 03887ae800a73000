#include "formats/LutFormatInfo.h"

#include "formats/LutError.h"

namespace {

bool IsPowerOfTwoPlusOne(int size) {
    const int n = size - 1;
    return n >= 1 && (n & (n - 1)) == 0;
}

bool IsSquare(int size) {
    int root = 1;
    while (root * root < size) ++root;
    return root * root == size;
}

}  // namespace

int TLutFormatInfo::OnlySize(int bits) const {
    if (Sizes == TSizeRule::Fixed) return MinSize;
    if (Sizes == TSizeRule::TwoToTheBits && bits >= 1 && bits <= kMaxPowerBits) return 1 << bits;
    return 0;
}

bool TLutFormatInfo::TakesSize(int size, int bits) const {
    if (size < MinSize || size > MaxSize) return false;
    if (Sizes == TSizeRule::PowerOfTwoPlusOne) return IsPowerOfTwoPlusOne(size);
    if (Sizes == TSizeRule::Squares) return IsSquare(size);
    if (const int only = OnlySize(bits)) return size == only;
    return true;
}

std::string TLutFormatInfo::SizesText(int bits) const {
    if (Sizes == TSizeRule::PowerOfTwoPlusOne || Sizes == TSizeRule::Squares) {
        std::vector<int> sizes;
        for (int size = MinSize; size <= MaxSize; ++size)
            if (TakesSize(size, bits)) sizes.push_back(size);
        std::string text;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            if (i > 0) text += (i + 1 == sizes.size()) ? " or " : ", ";
            text += std::to_string(sizes[i]);
        }
        return text;
    }
    if (const int only = OnlySize(bits)) return std::to_string(only);
    return std::to_string(MinSize) + " to " + std::to_string(MaxSize);
}

int TLutFormatInfo::CheckedBits(std::int64_t bits) const {
    if (bits < MinBits || bits > MaxBits)
        throw ELUTError("Unsupported bit depth " + std::to_string(bits) + ": integer LUT files hold " +
                        std::to_string(MinBits) + " to " + std::to_string(MaxBits) + " bits.");
    return static_cast<int>(bits);
}
