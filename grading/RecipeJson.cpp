#include "grading/RecipeJson.h"

#include <QJsonValue>

#include "engine/base/Error.h"
#include "engine/lut/CubeInterpolation.h"
#include "engine/lut/LUT.h"
#include "grading/EmbeddedCell.h"
#include "grading/EmbeddedLut.h"
#include "grading/ReferenceHash.h"

namespace {

constexpr std::size_t kMaxNameBytes = 4096;
constexpr std::size_t kMaxCellTextBytes = 1024 * 1024;
// Chroma of colours within 0..1 stays well inside this; the pixel counts of
// a frame fitted into 1000 x 500 inside the next.
constexpr double kMaxChroma = 10.0;
constexpr int kMaxPixelCount = 1 << 30;

const char* const kRangeKeys[] = {"low", "middle", "high"};

QString Text(const std::string& text) { return QString::fromStdString(text); }

QJsonValue ReferenceJson(const TLookRecipe& recipe, const std::string& path) {
    if (!recipe.HasReference()) return QJsonValue::Null;
    if (!IsReferenceHash(recipe.ReferenceHash))
        throw EError(path + ".reference.hash: \"" + recipe.ReferenceHash + "\" is not 64 hex digits");
    return QJsonObject{{"name", Text(recipe.ReferenceName)},
                       {"hash", Text(recipe.ReferenceHash)},
                       {"cell", Text(CellText(recipe.ReferenceCell))}};
}

QJsonObject PositionsJson(const TLookPositions& positions) {
    QJsonObject object;
    for (const TLookControl& control : LookControls()) object[control.Key] = positions.*control.Position;
    return object;
}

// A switch is true when the option of its name is on.
QJsonObject SwitchesJson(const TLookPositions& positions) {
    QJsonObject object;
    for (const TLookSwitch& option : LookSwitches())
        object[option.Key] = positions.*option.Position == option.OptionValue;
    return object;
}

QJsonObject StatsJson(const TColorStats& stats) {
    QJsonObject object;
    for (int i = 0; i < 3; ++i) {
        const TRangeStats& range = stats.Ranges[i];
        object[kRangeKeys[i]] = QJsonObject{{"meanU", Text(ExactDoubleText(range.MeanU))},
                                            {"devU", Text(ExactDoubleText(range.DevU))},
                                            {"meanV", Text(ExactDoubleText(range.MeanV))},
                                            {"devV", Text(ExactDoubleText(range.DevV))},
                                            {"pixels", stats.PixelCounts[i]}};
    }
    return object;
}

QJsonValue MatchJson(const TLookRecipe& recipe) {
    if (!recipe.Match) return QJsonValue::Null;
    return QJsonObject{{"frame", Text(recipe.MatchedTo)}, {"stats", StatsJson(recipe.MatchStats)}};
}

QJsonValue FootageJson(const TLookRecipe& recipe) {
    if (recipe.Footage.empty()) return QJsonValue::Null;
    return QJsonObject{{"space", Text(recipe.Footage)}, {"config", Text(recipe.FootageConfig)}};
}

QJsonValue LutJson(const TLookRecipe& recipe, const std::string& path) {
    if (!recipe.Lut) return QJsonValue::Null;
    try {
        return QJsonObject{{"name", Text(recipe.LutName)}, {"clf", Text(KeptLutText(*recipe.Lut))}};
    } catch (const EError& error) {
        throw EError(path + ".lut: " + error.what());
    }
}

// ---------------------------------------------------------------- reading

void ReadReference(const TDocumentFields& fields, TLookRecipe& recipe) {
    if (!fields.Has("reference")) return;
    const TDocumentFields reference = fields.Object("reference");
    recipe.ReferenceName = reference.String("name", kMaxNameBytes);
    recipe.ReferenceHash = reference.String("hash", 64);
    if (!IsReferenceHash(recipe.ReferenceHash)) reference.Fail("hash", "is not 64 lowercase hex digits");
    const std::string cell = reference.String("cell", kMaxCellTextBytes);
    try {
        recipe.ReferenceCell = CellFromText(cell);
    } catch (const EError& error) {
        reference.Fail("cell", error.what());
    }
    reference.Finish();
}

void ReadPositions(const TDocumentFields& fields, TLookPositions& positions) {
    const TDocumentFields object = fields.Object("positions");
    for (const TLookControl& control : LookControls())
        positions.*control.Position = object.Integer(control.Key, control.Min, control.Max);
    object.Finish();
    const TDocumentFields switches = fields.Object("switches");
    for (const TLookSwitch& option : LookSwitches())
        positions.*option.Position = switches.Boolean(option.Key) ? option.OptionValue : !option.OptionValue;
    switches.Finish();
}

void ReadStats(const TDocumentFields& fields, TColorStats& stats) {
    for (int i = 0; i < 3; ++i) {
        const TDocumentFields range = fields.Object(kRangeKeys[i]);
        stats.Ranges[i].MeanU = range.Exact("meanU", -kMaxChroma, kMaxChroma);
        stats.Ranges[i].DevU = range.Exact("devU", 0.0, kMaxChroma);
        stats.Ranges[i].MeanV = range.Exact("meanV", -kMaxChroma, kMaxChroma);
        stats.Ranges[i].DevV = range.Exact("devV", 0.0, kMaxChroma);
        stats.PixelCounts[i] = range.Integer("pixels", 0, kMaxPixelCount);
        range.Finish();
    }
    fields.Finish();
}

void ReadMatch(const TDocumentFields& fields, TLookRecipe& recipe) {
    recipe.Match = fields.Has("match");
    if (!recipe.Match) return;
    const TDocumentFields match = fields.Object("match");
    recipe.MatchedTo = match.String("frame", kMaxNameBytes);
    ReadStats(match.Object("stats"), recipe.MatchStats);
    match.Finish();
}

void ReadFootage(const TDocumentFields& fields, TLookRecipe& recipe) {
    if (!fields.Has("footage")) return;
    const TDocumentFields footage = fields.Object("footage");
    recipe.Footage = footage.String("space", kMaxNameBytes);
    if (recipe.Footage.empty()) footage.Fail("space", "is empty");
    recipe.FootageConfig = footage.String("config", kMaxNameBytes);
    footage.Finish();
}

void ReadInterpolation(const TDocumentFields& fields, TLookRecipe& recipe) {
    recipe.Interpolation = fields.String("interpolation", 64);
    TCubeInterpolation interpolation;
    if (!CubeInterpolationFromName(recipe.Interpolation, interpolation))
        fields.Fail("interpolation", "\"" + recipe.Interpolation + "\" is neither trilinear nor tetrahedral");
}

void ReadLut(const TDocumentFields& fields, TLookRecipe& recipe) {
    if (!fields.Has("lut")) return;
    const TDocumentFields lut = fields.Object("lut");
    recipe.LutName = lut.String("name", kMaxNameBytes);
    const std::string text = lut.String("clf", kMaxKeptLutBytes);
    try {
        recipe.Lut = KeptLutFromText(text);
    } catch (const EError& error) {
        lut.Fail("clf", error.what());
    }
    lut.Finish();
}

}  // namespace

QJsonObject RecipeJson(const TLookRecipe& recipe, const std::string& path) {
    TCubeInterpolation interpolation;
    if (!CubeInterpolationFromName(recipe.Interpolation, interpolation))
        throw EError(path + ".interpolation: \"" + recipe.Interpolation + "\" is neither trilinear nor tetrahedral");
    return QJsonObject{{"reference", ReferenceJson(recipe, path)},
                       {"positions", PositionsJson(recipe.Positions)},
                       {"switches", SwitchesJson(recipe.Positions)},
                       {"match", MatchJson(recipe)},
                       {"footage", FootageJson(recipe)},
                       {"interpolation", Text(recipe.Interpolation)},
                       {"lut", LutJson(recipe, path)}};
}

TLookRecipe RecipeFromJson(const TDocumentFields& fields) {
    TLookRecipe recipe;
    ReadReference(fields, recipe);
    ReadPositions(fields, recipe.Positions);
    ReadMatch(fields, recipe);
    ReadFootage(fields, recipe);
    ReadInterpolation(fields, recipe);
    ReadLut(fields, recipe);
    fields.Finish();
    return recipe;
}
