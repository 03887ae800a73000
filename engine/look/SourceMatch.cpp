#include "engine/look/SourceMatch.h"

#include "engine/picture/ImageResize.h"

TImage PrepareFrame(const TImage& picture) { return FitImage(picture, kFrameBoxWidth, kFrameBoxHeight); }

TColorStats FrameStatistics(const TImage& picture) {
    if (picture.Empty()) throw EError("The picture to match is empty.");
    TColorStats stats;
    ComputeColorStats(PrepareFrame(picture), stats);
    return stats;
}

void MatchLookToFrame(TLookSettings& settings, const TColorStats& frameStats, const std::string& frameFile) {
    settings.MatchSource = true;
    settings.SourceStats = frameStats;
    const auto slash = frameFile.find_last_of('/');
    settings.MatchedTo = slash == std::string::npos ? frameFile : frameFile.substr(slash + 1);
}
