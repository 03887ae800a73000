#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>
#include <opencv2/features2d.hpp>

// The module "ombrane-opencv.so": features of both lumas matched with a
// ratio test, a homography found with RANSAC and refined by least squares
// on its inliers, behind the TRegistrationModule interface.

#include <algorithm>
#include <cmath>
#include <vector>

#include "registration/RegistrationModule.h"

namespace {

constexpr int kOrbFeatures = 3000;
// FAST corners down to a few code values of contrast: frames with soft
// focus or a flat grade still give enough of them.
constexpr int kFastThreshold = 3;
constexpr float kRatio = 0.8f;             // nearest against second-nearest descriptor distance
constexpr double kRansacTolerance = 3.0;   // pixels, at the size the planes have
constexpr double kRefinedTolerance = 2.0;  // pixels, for the refined homography's inliers
constexpr int kRansacIterations = 4000;
constexpr int kRefineRounds = 3;
constexpr int kMinInliers = 20;
constexpr double kMinInlierShare = 0.08;  // of the ratio-test matches
constexpr double kMaxAreaChange = 16.0;   // either way, for a homography taken as plausible
constexpr std::uint64_t kSeed = 0x5eed5eedULL;

cv::Mat Wrap(const TLumaPlane& plane) {
    return cv::Mat(plane.Height, plane.Width, CV_8UC1, const_cast<std::uint8_t*>(plane.Pixels), plane.Stride);
}

cv::Ptr<cv::Feature2D> Detector(TFeatureKind kind) {
    if (kind == TFeatureKind::Akaze) return cv::AKAZE::create();
    return cv::ORB::create(kOrbFeatures, 1.2f, 8, 31, 0, 2, cv::ORB::HARRIS_SCORE, 31, kFastThreshold);
}

struct TFeatures {
    std::vector<cv::KeyPoint> Points;
    cv::Mat Descriptors;
};

TFeatures Detect(const TLumaPlane& plane, TFeatureKind kind) {
    TFeatures features;
    Detector(kind)->detectAndCompute(Wrap(plane), cv::noArray(), features.Points, features.Descriptors);
    return features;
}

struct TPointPairs {
    std::vector<cv::Point2f> Frame;
    std::vector<cv::Point2f> Graded;
};

TPointPairs RatioMatches(const TFeatures& frame, const TFeatures& graded) {
    TPointPairs pairs;
    if (frame.Descriptors.rows < 2 || graded.Descriptors.rows < 2) return pairs;
    std::vector<std::vector<cv::DMatch>> nearest;
    cv::BFMatcher(cv::NORM_HAMMING).knnMatch(frame.Descriptors, graded.Descriptors, nearest, 2);
    for (const std::vector<cv::DMatch>& m : nearest) {
        if (m.size() < 2 || !(m[0].distance < kRatio * m[1].distance)) continue;
        pairs.Frame.push_back(frame.Points[m[0].queryIdx].pt);
        pairs.Graded.push_back(graded.Points[m[0].trainIdx].pt);
    }
    return pairs;
}

double Distance(const cv::Mat& h, const cv::Point2f& from, const cv::Point2f& to) {
    const double w = h.at<double>(2, 0) * from.x + h.at<double>(2, 1) * from.y + h.at<double>(2, 2);
    if (!(std::abs(w) > 1e-12)) return HUGE_VAL;
    const double x = (h.at<double>(0, 0) * from.x + h.at<double>(0, 1) * from.y + h.at<double>(0, 2)) / w;
    const double y = (h.at<double>(1, 0) * from.x + h.at<double>(1, 1) * from.y + h.at<double>(1, 2)) / w;
    return std::hypot(x - to.x, y - to.y);
}

// The pairs the homography carries within the tolerance.
TPointPairs Inliers(const cv::Mat& h, const TPointPairs& pairs, double tolerance) {
    TPointPairs inliers;
    for (std::size_t i = 0; i < pairs.Frame.size(); ++i) {
        if (Distance(h, pairs.Frame[i], pairs.Graded[i]) > tolerance) continue;
        inliers.Frame.push_back(pairs.Frame[i]);
        inliers.Graded.push_back(pairs.Graded[i]);
    }
    return inliers;
}

// Least squares on the inliers, a few times over as the inliers settle.
cv::Mat Refined(cv::Mat h, const TPointPairs& pairs, int& inlierCount) {
    TPointPairs inliers = Inliers(h, pairs, kRefinedTolerance);
    for (int round = 0; round < kRefineRounds && inliers.Frame.size() >= 8; ++round) {
        const cv::Mat refined = cv::findHomography(inliers.Frame, inliers.Graded, 0);
        if (refined.empty()) break;
        TPointPairs next = Inliers(refined, pairs, kRefinedTolerance);
        if (next.Frame.size() < inliers.Frame.size()) break;
        h = refined;
        inliers = std::move(next);
    }
    inlierCount = static_cast<int>(inliers.Frame.size());
    return h;
}

// A homography that neither folds the frame nor blows it up or shrinks it
// beyond any camera move between two shots of one scene.
bool Plausible(const cv::Mat& h) {
    const double scale = h.at<double>(2, 2);
    if (!(std::abs(scale) > 1e-12)) return false;
    const double det =
        (h.at<double>(0, 0) * h.at<double>(1, 1) - h.at<double>(0, 1) * h.at<double>(1, 0)) / (scale * scale);
    return det > 1.0 / kMaxAreaChange && det < kMaxAreaChange;
}

TRegistration Registered(const cv::Mat& h, int matches, int inliers) {
    TRegistration result;
    result.Matches = matches;
    result.Inliers = inliers;
    result.Found = inliers >= kMinInliers && inliers >= kMinInlierShare * matches && Plausible(h);
    if (!result.Found) return result;
    const double scale = h.at<double>(2, 2);
    for (int i = 0; i < 9; ++i) result.Homography[i] = h.at<double>(i / 3, i % 3) / scale;
    return result;
}

class TOpencvRegistration : public TRegistrationModule {
public:
    TRegistration Register(const TLumaPlane& graded, const TLumaPlane& frame, TFeatureKind kind) const override {
        // OpenCV raises for planes it cannot take (too small for a single
        // feature, say): nothing is found in them.
        try {
            return Registering(graded, frame, kind);
        } catch (const cv::Exception&) {
            return TRegistration();
        }
    }

private:
    static TRegistration Registering(const TLumaPlane& graded, const TLumaPlane& frame, TFeatureKind kind) {
        const TPointPairs pairs = RatioMatches(Detect(frame, kind), Detect(graded, kind));
        const int matches = static_cast<int>(pairs.Frame.size());
        if (matches < kMinInliers) return Registered(cv::Mat(), matches, 0);
        cv::theRNG().state = kSeed;
        const cv::Mat h = cv::findHomography(pairs.Frame, pairs.Graded, cv::RANSAC, kRansacTolerance, cv::noArray(),
                                             kRansacIterations, 0.999);
        if (h.empty()) return Registered(h, matches, 0);
        int inliers = 0;
        const cv::Mat refined = Refined(h, pairs, inliers);
        return Registered(refined, matches, inliers);
    }
};

}  // namespace

extern "C" const TRegistrationModule* OmbraneRegistrationModule(int* interfaceVersion) {
    // One thread: OpenCV's own pool would share out the detection and the
    // matching differently on every machine; the results must not depend on it.
    static const TOpencvRegistration module = [] {
        cv::setNumThreads(1);
        return TOpencvRegistration();
    }();
    *interfaceVersion = kRegistrationModuleVersion;
    return &module;
}
