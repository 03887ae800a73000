#include "grading/LookDocument.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <cstdlib>

#include "engine/base/Error.h"
#include "fileio/AtomicFile.h"
#include "fileio/FileRead.h"
#include "grading/DocumentFields.h"
#include "grading/RecipeJson.h"

// The document is one JSON object, its keys sorted, indented by four:
//
//   "format": "ombrane-look"     what the file is
//   "version": 1                 kLookDocumentVersion of the writer
//   "description", "program", "date"
//                                free text; the writer's version; when it
//                                was written (ISO 8601, UTC)
//   "look": LOOK                 the current look
//   "snapshots": {"A": LOOK or null, "B", "C", "D"}
//
// and a LOOK:
//
//   "reference": null or {"name", "hash" (SHA-256, hex), "cell" (PNG, base64)}
//   "positions": {KEY: position} for every control of the control table
//   "switches": {KEY: true when the option of that name is on}
//   "match": null or {"frame": name, "stats": {"low", "middle", "high":
//            {"meanU", "devU", "meanV", "devV" (exact decimal texts),
//             "pixels"}}}
//   "footage": null or {"space": key, "config": the config file or ""}
//   "interpolation": "trilinear" or "tetrahedral"
//   "lut": null or {"name", "clf": the LUT as an exact CLF document}
//
// The statistics are texts: JSON numbers lose the sign of a negative zero.

const char* const kLookDocumentExtension = ".olook";
const char* const kLookDocumentMimeType = "application/x-ombrane-look";

namespace {

constexpr const char* kFormat = "ombrane-look";
constexpr const char* kSnapshotKeys[] = {"A", "B", "C", "D"};
constexpr std::size_t kMaxDescriptionBytes = 64 * 1024;
constexpr std::size_t kMaxShortTextBytes = 256;

[[noreturn]] void NotALookDocument(const std::string& fileName, const std::string& why) {
    throw EError("\"" + fileName + "\" is no look document: " + why);
}

QJsonObject ParsedRoot(const std::string& text, const std::string& fileName) {
    if (text.size() > kMaxLookDocumentBytes)
        NotALookDocument(fileName, "it is larger than " + std::to_string(kMaxLookDocumentBytes >> 20) + " MiB");
    QJsonParseError error;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())), &error);
    if (error.error != QJsonParseError::NoError)
        NotALookDocument(fileName, error.errorString().toStdString() + " at byte " + std::to_string(error.offset));
    if (!document.isObject()) NotALookDocument(fileName, "it holds no JSON object");
    return document.object();
}

void CheckFormat(const QJsonObject& root, const std::string& fileName) {
    const QJsonValue format = root.value("format");
    if (!format.isString()) NotALookDocument(fileName, "it names no format");
    if (format.toString() != kFormat)
        NotALookDocument(fileName, "its format is \"" + format.toString().left(80).toStdString() + "\"");
}

int CheckedVersion(const TDocumentFields& fields, const std::string& fileName) {
    const int version = fields.Integer("version", 1, 1 << 30);
    if (version > kLookDocumentVersion)
        throw EError("\"" + fileName + "\": version: " + std::to_string(version) +
                     ": made by a newer version of the program (this one reads up to version " +
                     std::to_string(kLookDocumentVersion) + ")");
    return version;
}

// Brings the fields of an older version to the current one, a version at a
// time. Version 1 is the first, so there is nothing to bring yet.
void UpgradeDocument(QJsonObject& root, int version) {
    for (int from = version; from < kLookDocumentVersion; ++from) {
        (void)root;
    }
}

std::array<std::optional<TLookRecipe>, 4> ReadSnapshots(const TDocumentFields& fields) {
    std::array<std::optional<TLookRecipe>, 4> snapshots;
    if (!fields.Has("snapshots")) return snapshots;
    const TDocumentFields places = fields.Object("snapshots");
    for (std::size_t i = 0; i < snapshots.size(); ++i)
        if (places.Has(kSnapshotKeys[i])) snapshots[i] = RecipeFromJson(places.Object(kSnapshotKeys[i]));
    places.Finish();
    return snapshots;
}

TLookDocument ReadDocument(const TDocumentFields& fields) {
    TLookDocument document;
    document.Description = fields.String("description", kMaxDescriptionBytes);
    document.ProgramVersion = fields.String("program", kMaxShortTextBytes);
    document.Date = fields.String("date", kMaxShortTextBytes);
    document.Look = RecipeFromJson(fields.Object("look"));
    document.Snapshots = ReadSnapshots(fields);
    fields.Finish();
    return document;
}

QJsonObject SnapshotsJson(const TLookDocument& document) {
    QJsonObject places;
    for (std::size_t i = 0; i < document.Snapshots.size(); ++i) {
        const auto& snapshot = document.Snapshots[i];
        places[kSnapshotKeys[i]] = snapshot
                                       ? QJsonValue(RecipeJson(*snapshot, std::string("snapshots.") + kSnapshotKeys[i]))
                                       : QJsonValue(QJsonValue::Null);
    }
    return places;
}

}  // namespace

TLookRecipe TLookRecipe::Clone() const {
    TLookRecipe copy;
    copy.ReferenceName = ReferenceName;
    copy.ReferenceHash = ReferenceHash;
    copy.ReferenceCell = ReferenceCell.Clone();
    copy.Positions = Positions;
    copy.Match = Match;
    copy.MatchStats = MatchStats;
    copy.MatchedTo = MatchedTo;
    copy.Footage = Footage;
    copy.FootageConfig = FootageConfig;
    copy.Interpolation = Interpolation;
    copy.Lut = Lut;
    copy.LutName = LutName;
    return copy;
}

std::string LookDocumentText(const TLookDocument& document) {
    const QJsonObject root{{"format", kFormat},
                           {"version", kLookDocumentVersion},
                           {"description", QString::fromStdString(document.Description)},
                           {"program", QString::fromStdString(document.ProgramVersion)},
                           {"date", QString::fromStdString(document.Date)},
                           {"look", RecipeJson(document.Look, "look")},
                           {"snapshots", SnapshotsJson(document)}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

void SaveLookDocument(const TLookDocument& document, const std::string& fileName) {
    std::string text;
    try {
        text = LookDocumentText(document);
    } catch (const EError& error) {
        throw EError("\"" + fileName + "\": " + error.what());
    }
    WriteFileAtomically(fileName, text);
}

TLookDocument LookDocumentFromText(const std::string& text, const std::string& fileName) {
    QJsonObject root = ParsedRoot(text, fileName);
    CheckFormat(root, fileName);
    const int version = CheckedVersion(TDocumentFields(root, fileName, ""), fileName);
    UpgradeDocument(root, version);
    const TDocumentFields fields(root, fileName, "");
    fields.Has("format");
    fields.Has("version");
    return ReadDocument(fields);
}

TLookDocument LoadLookDocument(const std::string& fileName) {
    return LookDocumentFromText(ReadFileBytes(fileName, kMaxLookDocumentBytes), fileName);
}

bool IsLookDocumentName(const std::string& fileName) {
    const std::string extension = kLookDocumentExtension;
    if (fileName.size() < extension.size()) return false;
    for (std::size_t i = 0; i < extension.size(); ++i) {
        const char c = fileName[fileName.size() - extension.size() + i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != extension[i]) return false;
    }
    return true;
}

std::string LookProgramVersion() { return OMBRANE_PROGRAM_VERSION; }

std::string LookDocumentDate() {
    QDateTime when = QDateTime::currentDateTimeUtc();
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch != nullptr && *epoch != '\0') {
        char* end = nullptr;
        const long long seconds = std::strtoll(epoch, &end, 10);
        if (*end == '\0' && seconds >= 0) when = QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc());
    }
    return when.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'")).toStdString();
}
