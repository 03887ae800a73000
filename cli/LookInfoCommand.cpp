#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <iostream>
#include <string>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/HelpTexts.h"
#include "engine/lut/LUT.h"
#include "grading/EmbeddedLut.h"
#include "grading/LookDocument.h"

// look-info FILE.olook [--json]: what a look document holds, as lines for a
// reader or as its own JSON without the embedded picture and LUT.

namespace {

const char* const kSlotNames[] = {"A", "B", "C", "D"};

std::string LutSummary(const TLUT& lut) {
    const std::string cube = std::to_string(lut.CubeSize) + "-point cube";
    const std::string curve = std::to_string(lut.CurveSize) + "-entry curve";
    if (lut.Kind == lkCurve) return curve;
    if (lut.Kind == lkCurveThenCube) return curve + " then " + cube;
    return cube;
}

std::string ChangedPositions(const TLookPositions& positions) {
    std::string text;
    // The strength has a line of its own.
    for (const TLookControl& control : LookControls())
        if (control.Position != &TLookPositions::Strength && positions.*control.Position != control.Default)
            text += (text.empty() ? "" : ", ") + std::string(control.Key) + " " +
                    std::to_string(positions.*control.Position);
    for (const TLookSwitch& option : LookSwitches())
        if (positions.*option.Position == option.OptionValue)
            text += (text.empty() ? "" : ", ") + std::string(option.Key);
    return text.empty() ? "all at their defaults" : text;
}

void PrintRecipe(const TLookRecipe& recipe, const std::string& indent) {
    std::cout << indent << "reference: "
              << (recipe.HasReference() ? recipe.ReferenceName + " (SHA-256 " + recipe.ReferenceHash + ")" : "none")
              << "\n";
    std::cout << indent << "controls: " << ChangedPositions(recipe.Positions) << "\n";
    std::cout << indent << "strength: " << recipe.Positions.Strength << "\n";
    std::cout << indent << "match: " << (recipe.Match ? "to " + recipe.MatchedTo + " (its statistics kept)" : "off")
              << "\n";
    std::cout << indent << "footage: "
              << (recipe.Footage.empty()
                      ? "display"
                      : recipe.Footage +
                            (recipe.FootageConfig.empty() ? std::string() : " (config " + recipe.FootageConfig + ")"))
              << "\n";
    std::cout << indent << "interpolation: " << recipe.Interpolation << "\n";
    std::cout << indent << "LUT: " << (recipe.Lut ? recipe.LutName + " (" + LutSummary(*recipe.Lut) + ")" : "none")
              << "\n";
}

void PrintText(const TLookDocument& document, const std::string& fileName) {
    std::cout << "look document: " << fileName << "\n";
    std::cout << "version: " << kLookDocumentVersion << ", written by " << document.ProgramVersion << " on "
              << document.Date << "\n";
    std::cout << "description: " << (document.Description.empty() ? "none" : document.Description) << "\n";
    std::cout << "look:\n";
    PrintRecipe(document.Look, "  ");
    for (std::size_t i = 0; i < document.Snapshots.size(); ++i) {
        if (!document.Snapshots[i]) continue;
        std::cout << "snapshot " << kSlotNames[i] << ":\n";
        PrintRecipe(*document.Snapshots[i], "  ");
    }
}

// The look's cell and LUT texts replaced by their sizes in bytes.
QJsonObject WithoutPayloads(QJsonObject look) {
    QJsonObject reference = look["reference"].toObject();
    if (!reference.isEmpty()) {
        reference["cell"] = QByteArray::fromBase64(reference["cell"].toString().toLatin1()).size();
        look["reference"] = reference;
    }
    QJsonObject lut = look["lut"].toObject();
    if (!lut.isEmpty()) {
        lut["clf"] = lut["clf"].toString().toUtf8().size();
        look["lut"] = lut;
    }
    return look;
}

void PrintJson(const TLookDocument& document) {
    QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(LookDocumentText(document))).object();
    root["look"] = WithoutPayloads(root["look"].toObject());
    QJsonObject snapshots = root["snapshots"].toObject();
    for (const char* slot : kSlotNames)
        if (snapshots[slot].isObject()) snapshots[slot] = WithoutPayloads(snapshots[slot].toObject());
    root["snapshots"] = snapshots;
    std::cout << QJsonDocument(root).toJson().toStdString();
}

}  // namespace

int RunLookInfo(const std::vector<std::string>& words) {
    const TArguments arguments(words, {{"json", false}});
    if (arguments.HelpAsked()) return PrintHelp(kLookInfoHelp);
    arguments.ExpectPositionals(1, "the look document (FILE.olook)");
    const std::string& fileName = arguments.Positionals()[0];
    const TLookDocument document = LoadLookDocument(fileName);
    if (arguments.Switch("json"))
        PrintJson(document);
    else
        PrintText(document, fileName);
    return 0;
}
