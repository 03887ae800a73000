// Shot matching against known looks: how close a frame graded by the look
// fitted from another frame of its scene comes to the truth, beside doing
// nothing, Match Preview Colours (--match) and the classic linear colour
// transfer of Pitie and Kokaram (2007); how many pairs of different scenes
// are refused; and the time for a pair of 24-megapixel frames.
//
// Usage: shot_match_measure [WORK_FOLDER]   (default: a new folder in /tmp)
//
// Same-scene pairs are made here: A is a crop of a photograph of Debian's
// mate-backgrounds, B an overlapping crop of the same photograph turned a
// few degrees, scaled by 0.8 to 1.2 and moved (ImageMagick's convert), and
// two frames apart of a clip panning and zooming over a photograph
// (ffmpeg's zoompan). Each look is a third party's: ffmpeg filters (curves
// presets, colorbalance, eq, colortemperature, a sepia channel mixer),
// applied to A as the graded frame and to B as the truth. The scores are
// the mean and 95th percentile of CIEDE2000 between each method's B and the
// truth over every pixel of B. Prints Markdown tables.
#include <sys/resource.h>
#include <unistd.h>

#include <Eigen/Dense>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "engine/base/Error.h"
#include "engine/colour/ColourDifference.h"
#include "engine/look/GradingRoad.h"
#include "engine/look/SourceMatch.h"
#include "engine/lut/LUT.h"
#include "engine/picture/ImageResize.h"
#include "engine/picture/Thumbnail.h"
#include "grading/ShotMatching.h"
#include "imageio/ImageFile.h"
#include "library/ReferenceLibrary.h"
#include "registration/RegistrationModule.h"

namespace {

const std::string kNature = "/usr/share/backgrounds/mate/nature/";

struct TLook {
    const char* Name;
    const char* Filter;
};

const std::vector<TLook> kLooks = {
    {"curves vintage", "curves=preset=vintage"},
    {"curves cross_process", "curves=preset=cross_process"},
    {"curves darker", "curves=preset=darker"},
    {"curves lighter", "curves=preset=lighter"},
    {"curves increase_contrast", "curves=preset=increase_contrast"},
    {"colorbalance warm/teal", "colorbalance=rs=0.15:gs=-0.05:bs=-0.2:rh=-0.1:bh=0.15:rm=0.05"},
    {"eq contrast/sat/gamma", "eq=contrast=1.25:brightness=0.03:saturation=1.4:gamma=0.9"},
    {"colortemperature 3500K", "colortemperature=temperature=3500"},
    {"sepia mixer", "colorchannelmixer=.393:.769:.189:0:.349:.686:.168:0:.272:.534:.131"},
};

void Run(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    if (status != 0) throw EError("failed: " + command);
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

TImage Load(const std::string& file) {
    TImage image;
    LoadImageFile(file, image);
    return image;
}

// --- making the pairs -------------------------------------------------------

struct TPairFiles {
    std::string Label;
    std::string A;
    std::string B;
};

// A: a 1000 x 650 crop; B: the photograph turned, scaled and cropped so
// that it overlaps A.
TPairFiles StillPair(const std::string& folder, const std::string& photo, int index) {
    const double scales[] = {0.85, 1.15, 0.95, 1.2, 0.8, 1.05};
    const double angles[] = {3.0, -4.0, 2.0, -2.5, 5.0, -1.5};
    const int dx[] = {180, -150, 120, -90, 60, 200};
    const int dy[] = {60, -40, 90, 50, -70, 30};
    const std::string base = folder + "/still" + std::to_string(index);
    const std::string src = base + "_src.png";
    Run("convert " + Quoted(kNature + photo) + " -resize 1800x1800 " + Quoted(src));
    TPairFiles pair{"still " + photo, base + "_A.png", base + "_B.png"};
    Run("convert " + Quoted(src) + " -gravity center -crop 1000x650+0+0 +repage " + Quoted(pair.A));
    char distort[128];
    std::snprintf(distort, sizeof distort, "%g %g", scales[index % 6], angles[index % 6]);
    char crop[64];
    std::snprintf(crop, sizeof crop, "1000x650%+d%+d", dx[index % 6], dy[index % 6]);
    Run("convert " + Quoted(src) + " -virtual-pixel mirror -distort SRT " + Quoted(distort) +
        " +repage -gravity center -crop " + crop + " +repage " + Quoted(pair.B));
    return pair;
}

// Frames 0 and 40 of a pan-and-zoom clip made from the photograph.
TPairFiles ClipPair(const std::string& folder, const std::string& photo, int index) {
    const std::string base = folder + "/clip" + std::to_string(index);
    Run("ffmpeg -y -loop 1 -i " + Quoted(kNature + photo) +
        " -vf \"scale=2400:-2,zoompan=z='1+0.004*on':x='200+6*on':y='150+2*on':d=48:s=960x540:fps=24\" "
        "-frames:v 48 " +
        Quoted(base + "_%02d.png"));
    return {"clip " + photo, base + "_01.png", base + "_41.png"};
}

std::string Graded(const std::string& file, const TLook& look, const std::string& out) {
    Run("ffmpeg -y -i " + Quoted(file) + " -vf \"format=rgb24," + look.Filter + ",format=rgb24\" " + Quoted(out));
    return out;
}

// --- the methods --------------------------------------------------------------

TImage Applied(const TImage& picture, const TLUT& lut) {
    TImage out = picture.Clone();
    lut.ApplyToImage(out);
    return out;
}

// Match Preview Colours as the command line's grade --match takes it: the
// graded frame as the reference, its look matched to B.
TImage StatisticsMatch(const TImage& graded, const TImage& frame) {
    TImage cell = graded.Clone();
    if (cell.Width() > kThumbnailSize || cell.Height() > kThumbnailSize) cell = ReduceLikeLibrary(cell);
    TLookSettings settings = LookFromReference(MakeThumbnailCell(cell), TLookPositions{});
    MatchLookToFrame(settings, FrameStatistics(PrepareFrame(frame)), "");
    return Applied(frame, *MakeLookLut(settings));
}

struct TMoments {
    Eigen::Vector3d Mean = Eigen::Vector3d::Zero();
    Eigen::Matrix3d Cov = Eigen::Matrix3d::Zero();
};

TMoments MomentsOf(const TImage& image) {
    TMoments m;
    double n = 0;
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) {
            const std::uint8_t* p = image.Row(y) + 3 * x;
            const Eigen::Vector3d v(p[2] / 255.0, p[1] / 255.0, p[0] / 255.0);
            m.Mean += v;
            m.Cov += v * v.transpose();
            n += 1;
        }
    m.Mean /= n;
    m.Cov = m.Cov / n - m.Mean * m.Mean.transpose();
    m.Cov += 1e-6 * Eigen::Matrix3d::Identity();
    return m;
}

Eigen::Matrix3d Root(const Eigen::Matrix3d& m, bool inverse) {
    Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> s(m);
    Eigen::Vector3d d = s.eigenvalues().cwiseMax(1e-9).cwiseSqrt();
    if (inverse) d = d.cwiseInverse();
    return s.eigenvectors() * d.asDiagonal() * s.eigenvectors().transpose();
}

// Monge-Kantorovich linear transfer of GRADED's colour distribution onto B.
TImage MklTransfer(const TImage& graded, const TImage& frame) {
    const TMoments a = MomentsOf(frame), b = MomentsOf(graded);
    const Eigen::Matrix3d ra = Root(a.Cov, false), rai = Root(a.Cov, true);
    const Eigen::Matrix3d t = rai * Root(ra * b.Cov * ra, false) * rai;
    TImage out = frame.Clone();
    for (int y = 0; y < out.Height(); ++y)
        for (int x = 0; x < out.Width(); ++x) {
            std::uint8_t* p = out.Row(y) + 3 * x;
            const Eigen::Vector3d v(p[2] / 255.0, p[1] / 255.0, p[0] / 255.0);
            const Eigen::Vector3d o = t * (v - a.Mean) + b.Mean;
            for (int c = 0; c < 3; ++c)
                p[2 - c] = static_cast<std::uint8_t>(std::lround(std::clamp(o[c], 0.0, 1.0) * 255));
        }
    return out;
}

// --- scoring ----------------------------------------------------------------

struct TScore {
    double Mean = 0.0;
    double P95 = 0.0;
};

TScore Score(const TImage& result, const TImage& truth) {
    std::vector<float> d;
    d.reserve(static_cast<std::size_t>(truth.Width()) * truth.Height());
    double sum = 0;
    for (int y = 0; y < truth.Height(); ++y)
        for (int x = 0; x < truth.Width(); ++x) {
            const std::uint8_t* p = result.Row(y) + 3 * x;
            const std::uint8_t* q = truth.Row(y) + 3 * x;
            const double e = DeltaE2000(SrgbToLab(p[2] / 255.0, p[1] / 255.0, p[0] / 255.0),
                                        SrgbToLab(q[2] / 255.0, q[1] / 255.0, q[0] / 255.0));
            d.push_back(static_cast<float>(e));
            sum += e;
        }
    std::nth_element(d.begin(), d.begin() + d.size() * 95 / 100, d.end());
    return {sum / d.size(), d[d.size() * 95 / 100]};
}

enum { mNothing, mMatch, mShot, mMkl, kMethods };
const char* const kMethodNames[kMethods] = {"nothing", "--match", "shot match", "MKL"};

struct TTally {
    double Sum[kMethods] = {};
    double P95[kMethods] = {};
    int Wins[kMethods] = {};
    int Cases = 0;
    int Refused = 0;
};

void Add(TTally& t, const TScore* s, bool refused) {
    for (int m = 0; m < kMethods; ++m) {
        t.Sum[m] += s[m].Mean;
        t.P95[m] += s[m].P95;
        if (m != mNothing && s[m].Mean < s[mNothing].Mean) ++t.Wins[m];
    }
    ++t.Cases;
    t.Refused += refused;
}

void PrintRow(const std::string& name, const TTally& t) {
    std::printf("| %s |", name.c_str());
    for (int m = 0; m < kMethods; ++m) std::printf(" %.2f / %.2f |", t.Sum[m] / t.Cases, t.P95[m] / t.Cases);
    std::printf(" %d/%d | %d/%d | %d/%d | %d |\n", t.Wins[mMatch], t.Cases, t.Wins[mShot], t.Cases, t.Wins[mMkl],
                t.Cases, t.Refused);
}

void SameScene(const std::vector<TPairFiles>& pairs, const std::string& folder) {
    std::map<std::string, TTally> perLook;
    TTally all;
    for (const TPairFiles& pair : pairs)
        for (const TLook& look : kLooks) {
            const TImage graded = Load(Graded(pair.A, look, folder + "/graded.png"));
            const TImage frame = Load(pair.B);
            const TImage truth = Load(Graded(pair.B, look, folder + "/truth.png"));
            TScore s[kMethods];
            s[mNothing] = Score(frame, truth);
            s[mMatch] = Score(StatisticsMatch(graded, frame), truth);
            s[mMkl] = Score(MklTransfer(graded, frame), truth);
            bool refused = false;
            try {
                const TMatchedShot shot = MatchShot(graded, frame, {}, "graded", "frame");
                s[mShot] = Score(Applied(frame, *shot.Lut), truth);
            } catch (const std::exception& error) {
                refused = true;
                s[mShot] = s[mNothing];
                std::fprintf(stderr, "%s, %s: %s\n", pair.Label.c_str(), look.Name, error.what());
            }
            std::fprintf(stderr, "%s, %s: nothing %.2f, match %.2f, shot %.2f, mkl %.2f\n", pair.Label.c_str(),
                         look.Name, s[0].Mean, s[1].Mean, s[2].Mean, s[3].Mean);
            Add(perLook[look.Name], s, refused);
            Add(all, s, refused);
        }
    std::printf("\n### Same scene: mean / p95 CIEDE2000 to the truth (%zu pairs x %zu looks)\n\n", pairs.size(),
                kLooks.size());
    std::printf("| look | nothing | --match | shot match | MKL | --match wins | shot wins | MKL wins | refused |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (const TLook& look : kLooks) PrintRow(look.Name, perLook[look.Name]);
    PrintRow("**all**", all);
}

void DifferentScenes(const std::vector<TPairFiles>& pairs, const std::string& folder) {
    int cases = 0, refused = 0;
    for (std::size_t i = 0; i < pairs.size(); ++i)
        for (std::size_t j = 0; j < pairs.size(); ++j) {
            if (i == j) continue;
            const TLook& look = kLooks[(i + j) % kLooks.size()];
            const TImage graded = Load(Graded(pairs[i].A, look, folder + "/graded.png"));
            const TImage frame = Load(pairs[j].B);
            ++cases;
            try {
                const TMatchedShot shot = MatchShot(graded, frame, {}, "graded", "frame");
                std::fprintf(stderr, "accepted: %s against %s, %.1f %%\n", pairs[i].Label.c_str(),
                             pairs[j].Label.c_str(), 100 * shot.MatchedShare);
            } catch (const EError&) {
                ++refused;
            }
        }
    std::printf("\n### Different scenes: %d of %d pairs refused (%.1f %%)\n", refused, cases, 100.0 * refused / cases);
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + 1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

std::vector<std::uint8_t> Luma(const TImage& picture) {
    std::vector<std::uint8_t> luma(static_cast<std::size_t>(picture.Width()) * picture.Height());
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            const std::uint8_t* p = picture.Row(y) + 3 * x;
            luma[static_cast<std::size_t>(y) * picture.Width() + x] =
                static_cast<std::uint8_t>((18 * p[0] + 183 * p[1] + 54 * p[2] + 128) >> 8);
        }
    return luma;
}

// The two kinds of features on every same-scene pair (A graded with the
// first look, B as it is), both at 1024 pixels on the longest side as the
// road takes them: how often a homography is found, its inliers, CPU time.
void Features(const std::vector<TPairFiles>& pairs, const std::string& folder) {
    std::printf("\n### Registration features (%zu same-scene pairs, 1024 px)\n\n", pairs.size());
    std::printf("| features | found | median inliers | CPU per pair |\n|---|---|---|---|\n");
    for (const TFeatureKind kind : {TFeatureKind::Orb, TFeatureKind::Akaze}) {
        int found = 0;
        std::vector<int> inliers;
        double cpu = 0.0;
        for (const TPairFiles& pair : pairs) {
            const TImage graded = FitImage(Load(Graded(pair.A, kLooks[0], folder + "/graded.png")), 1024, 1024);
            const TImage frame = FitImage(Load(pair.B), 1024, 1024);
            const std::vector<std::uint8_t> g = Luma(graded), f = Luma(frame);
            const double cpu0 = CpuSeconds();
            const TRegistration r = RegistrationModule().Register(
                {g.data(), graded.Width(), graded.Height(), static_cast<std::size_t>(graded.Width())},
                {f.data(), frame.Width(), frame.Height(), static_cast<std::size_t>(frame.Width())}, kind);
            cpu += CpuSeconds() - cpu0;
            found += r.Found;
            inliers.push_back(r.Inliers);
        }
        std::sort(inliers.begin(), inliers.end());
        std::printf("| %s | %d/%zu | %d | %.3f s |\n", kind == TFeatureKind::Orb ? "ORB" : "AKAZE", found, pairs.size(),
                    inliers[inliers.size() / 2], cpu / pairs.size());
    }
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Two 24-megapixel JPEG frames of one scene, loaded and matched.
void Speed(const std::string& folder) {
    const std::string photo = "/usr/share/backgrounds/mate/abstract/Elephants_5640x3172.jpg";
    const std::string a = folder + "/big_A.jpg", b = folder + "/big_B.jpg";
    Run("convert " + Quoted(photo) + " -resize 6528x3672! -quality 92 " + Quoted(a));
    Run("convert " + Quoted(photo) + " -distort SRT '1.1 2' -resize 6528x3672! -modulate 90,120 -quality 92 " +
        Quoted(b));
    std::vector<double> times, loads, cpus;
    for (int run = 0; run < 3; ++run) {
        const double cpu0 = CpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        const TImage graded = Load(a);
        const TImage frame = Load(b);
        loads.push_back(Seconds(t0));
        const TMatchedShot shot = MatchShot(graded, frame, {}, a, b);
        times.push_back(Seconds(t0));
        cpus.push_back(CpuSeconds() - cpu0);
        std::fprintf(stderr, "24 MP: load %.2f s, total %.2f s wall, %.2f s CPU, matched %.1f %%\n", loads.back(),
                     times.back(), cpus.back(), 100 * shot.MatchedShare);
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf(
        "\n### Time: two 24.0-megapixel JPEG frames (6528 x 3672), loaded and matched (median of 3)\n\n"
        "| loading, wall | loading and matching, wall | loading and matching, CPU of both threads |\n|---|---|---|\n"
        "| %.2f s | %.2f s | %.2f s |\n",
        median(loads), median(times), median(cpus));
}

}  // namespace

int main(int argc, char** argv) {
    try {
        std::string folder = argc > 1 ? argv[1] : "";
        if (folder.empty()) {
            char pattern[] = "/tmp/shot_match_measure.XXXXXX";
            if (mkdtemp(pattern) == nullptr) throw EError("cannot make a work folder");
            folder = pattern;
        }
        std::filesystem::create_directories(folder);
        const std::vector<std::string> stills = {"Garden.jpg", "LadyBird.jpg",    "Aqua.jpg",
                                                 "Dune.jpg",   "GreenMeadow.jpg", "Wood.jpg"};
        std::vector<TPairFiles> pairs;
        for (std::size_t i = 0; i < stills.size(); ++i) pairs.push_back(StillPair(folder, stills[i], int(i)));
        pairs.push_back(ClipPair(folder, "Storm.jpg", 0));
        pairs.push_back(ClipPair(folder, "TwoWings.jpg", 1));
        std::string only = std::getenv("SHOT_MEASURE_ONLY") ? std::getenv("SHOT_MEASURE_ONLY") : "";
        if (only.empty() || only == "same") SameScene(pairs, folder);
        if (only.empty() || only == "different") DifferentScenes(pairs, folder);
        if (only.empty() || only == "features") Features(pairs, folder);
        if (only.empty() || only == "speed") Speed(folder);
        std::ifstream load("/proc/loadavg");
        std::string one, five, fifteen;
        load >> one >> five >> fifteen;
        std::printf("\nLoad average at the end: %s %s %s\n", one.c_str(), five.c_str(), fifteen.c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "shot_match_measure: %s\n", error.what());
        return 1;
    }
    return 0;
}
