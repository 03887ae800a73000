#include "imageio/PairLearning.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <vector>

#include "engine/base/Error.h"
#include "engine/footage/FootageConversion.h"
#include "engine/lut/LUT.h"
#include "engine/picture/DeepGrade.h"
#include "imageio/DeepImageFile.h"
#include "imageio/ImageFile.h"

namespace {

// Runs a loader, putting the file's name in front of a message that does
// not give it: the road reads two pictures.
template <typename TLoad>
auto NamingTheFile(const std::string& fileName, TLoad load) {
    try {
        return load();
    } catch (const std::exception& error) {
        const std::string message = error.what();
        if (message.find(fileName) != std::string::npos) throw;
        throw EError("\"" + fileName + "\": " + message);
    }
}

TImage ReadEightBit(const std::string& fileName) {
    return NamingTheFile(fileName, [&] {
        TImage picture;
        LoadImageFile(fileName, picture);
        return picture;
    });
}

TDeepImage ReadDeep(const std::string& fileName) {
    if (!IsDeepPictureFile(fileName)) return DeepFromImage(ReadEightBit(fileName), std::string());
    return NamingTheFile(fileName, [&] { return LoadDeepImageFile(fileName); });
}

// The pair as read: both 8-bit, or both deep when either picture is.
struct TLoadedPair {
    TImage Before;
    TImage After;
    TDeepImage DeepBefore;
    TDeepImage DeepAfter;
    bool Deep = false;
};

std::int64_t CountNonFinite(const TDeepImage& picture) {
    std::int64_t count = 0;
    for (int y = 0; y < picture.Height(); ++y) {
        const float* row = picture.Row(y);
        count += std::count_if(row, row + 3 * picture.Width(), [](float v) { return !std::isfinite(v); });
    }
    return count;
}

// A learned look needs numbers: NaN and the infinities, which float
// pictures may hold, are refused with their count.
void RefuseNonFinite(const TDeepImage& picture, const std::string& fileName) {
    const std::int64_t count = CountNonFinite(picture);
    if (count == 0) return;
    throw EError("\"" + fileName + "\" holds " + std::to_string(count) +
                 (count == 1 ? " value that is not a finite number" : " values that are not finite numbers"));
}

TLoadedPair LoadPair(const std::string& before, const std::string& after, const TPairReaders& readers) {
    TLoadedPair pair;
    pair.Deep = IsDeepPictureFile(before) || IsDeepPictureFile(after);
    if (pair.Deep) {
        pair.DeepBefore = readers.Deep(before);
        pair.DeepAfter = readers.Deep(after);
        RefuseNonFinite(pair.DeepBefore, before);
        RefuseNonFinite(pair.DeepAfter, after);
        MatchPairSizes(pair.DeepBefore, pair.DeepAfter, before, after);
    } else {
        pair.Before = readers.EightBit(before);
        pair.After = readers.EightBit(after);
        MatchPairSizes(pair.Before, pair.After, before, after);
    }
    return pair;
}

// The pair's rows as the fit reads them, BEFORE converted from the footage
// when one is given.
TPicturePair PairRows(const TLoadedPair& pair, const TFootageConversion* footage) {
    TPicturePair rows = PairOfImages(pair.Before, pair.After);
    if (pair.Deep) {
        rows.Width = pair.DeepBefore.Width();
        rows.Height = pair.DeepBefore.Height();
        rows.Read = [&pair](int y, float* before, float* after) {
            std::copy(pair.DeepBefore.Row(y), pair.DeepBefore.Row(y) + 3 * pair.DeepBefore.Width(), before);
            std::copy(pair.DeepAfter.Row(y), pair.DeepAfter.Row(y) + 3 * pair.DeepAfter.Width(), after);
        };
    }
    if (footage != nullptr)
        rows.Read = [read = rows.Read, footage, width = rows.Width](int y, float* before, float* after) {
            read(y, before, after);
            footage->Convert(before, static_cast<std::size_t>(width));
        };
    return rows;
}

}  // namespace

std::unique_ptr<TLUT> LearnedLookForFootage(const TLUT& learned, int size, const TFootageConversion& footage) {
    std::vector<float> grid(static_cast<std::size_t>(size) * size * size * 3);
    std::size_t i = 0;
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b < size; ++b) {
                grid[i++] = static_cast<float>(r) / (size - 1);
                grid[i++] = static_cast<float>(g) / (size - 1);
                grid[i++] = static_cast<float>(b) / (size - 1);
            }
    footage.Convert(grid.data(), grid.size() / 3);
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = size;
    i = 0;
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b < size; ++b, i += 3)
                learned.LookupNormalized({grid[i], grid[i + 1], grid[i + 2]}, lut->Cube[r][g][b]);
    lut->Comments.push_back("input: " + footage.Label());
    return lut;
}

TPairReaders PictureFileReaders() { return {ReadEightBit, ReadDeep}; }

TLearnedLook LearnLookFromFiles(const std::string& beforeFile, const std::string& afterFile,
                                const TPairLearning& settings, const TPairReaders& readers) {
    if (settings.Size < 2 || settings.Size > kMaxCubeSize)
        throw EError("Grid size " + std::to_string(settings.Size) + " is outside 2 to " + std::to_string(kMaxCubeSize) +
                     ".");
    const TLoadedPair loaded = LoadPair(beforeFile, afterFile, readers);
    const TPicturePair pair = PairRows(loaded, settings.Footage);
    TLearnedLook look =
        LearnLook(pair, {std::min(settings.Size, kMaxFitSize), settings.Smoothness}, beforeFile, afterFile);
    if (settings.Footage != nullptr) look.Lut = LearnedLookForFootage(*look.Lut, settings.Size, *settings.Footage);
    return look;
}
