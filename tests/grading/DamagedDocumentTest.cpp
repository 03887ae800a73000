#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <fstream>
#include <initializer_list>

#include "engine/base/Error.h"
#include "grading/LookDocument.h"
#include "imageio/QtPictureFile.h"
#include "tests/grading/SampleLooks.h"

namespace {

std::string SampleText() {
    static const std::string text = LookDocumentText(SampleDocument());
    return text;
}

QJsonValue Replaced(QJsonValue node, std::initializer_list<const char*>::iterator key,
                    std::initializer_list<const char*>::iterator end, const QJsonValue& value) {
    if (key == end) return value;
    QJsonObject object = node.toObject();
    object[*key] = Replaced(object[*key], key + 1, end, value);
    return object;
}

// The sample document with the field at `path` set to value.
std::string With(std::initializer_list<const char*> path, const QJsonValue& value) {
    QJsonValue root = QJsonDocument::fromJson(QByteArray::fromStdString(SampleText())).object();
    root = Replaced(root, path.begin(), path.end(), value);
    return QJsonDocument(root.toObject()).toJson().toStdString();
}

std::string Refusal(const std::string& text, const std::string& name = "a.olook") {
    try {
        LookDocumentFromText(text, name);
    } catch (const EError& error) {
        return error.what();
    }
    return "(read)";
}

}  // namespace

TEST(DamagedLookDocument, APositionOutOfRangeIsRefusedNamingTheField) {
    EXPECT_EQ(Refusal(With({"look", "positions", "gain"}, 250)),
              "\"a.olook\": look.positions.gain: 250 is outside 0..200");
    EXPECT_EQ(Refusal(With({"look", "positions", "strength"}, 101)),
              "\"a.olook\": look.positions.strength: 101 is outside 0..100");
    EXPECT_EQ(Refusal(With({"snapshots", "C", "positions", "red"}, -1)),
              "\"a.olook\": snapshots.C.positions.red: -1 is outside 0..200");
    EXPECT_EQ(Refusal(With({"look", "positions", "low"}, 2.5)),
              "\"a.olook\": look.positions.low: 2.5 is not a whole number");
    EXPECT_EQ(Refusal(With({"look", "positions", "low"}, 1e300)),
              "\"a.olook\": look.positions.low: 1e+300 is outside 0..200");
}

TEST(DamagedLookDocument, NonFiniteAndHugeNumbersAreRefused) {
    std::string text = With({"look", "positions", "gain"}, 777);
    for (const char* number : {"NaN", "Infinity", "-inf", "1e400"}) {
        std::string damaged = text;
        const std::string field = "\"gain\": 777";
        damaged.replace(damaged.find(field), field.size(), std::string("\"gain\": ") + number);
        EXPECT_EQ(Refusal(damaged).rfind("\"a.olook\" is no look document: ", 0), 0u)
            << number << ": " << Refusal(damaged);
    }
    for (const char* number : {"nan", "inf", "1e400", "", " 0.1", "0x1p3", "+0.1", "0.1a"}) {
        const std::string message = Refusal(With({"look", "match", "stats", "low", "meanU"}, number));
        EXPECT_NE(message.find("look.match.stats.low.meanU: "), std::string::npos) << number << ": " << message;
    }
    EXPECT_EQ(Refusal(With({"look", "match", "stats", "high", "devV"}, "-0.5")),
              "\"a.olook\": look.match.stats.high.devV: -0.5 is outside 0..10");
    EXPECT_EQ(Refusal(With({"look", "match", "stats", "high", "pixels"}, 3e9)),
              "\"a.olook\": look.match.stats.high.pixels: 3000000000 is outside 0..1073741824");
}

TEST(DamagedLookDocument, WrongTypesAreRefusedNamingTheField) {
    EXPECT_EQ(Refusal(With({"look", "positions", "gain"}, "100")),
              "\"a.olook\": look.positions.gain: is a text, not a number");
    EXPECT_EQ(Refusal(With({"look", "switches", "compress-saturation"}, 1)),
              "\"a.olook\": look.switches.compress-saturation: is a number, not a true or false");
    EXPECT_EQ(Refusal(With({"look", "positions"}, QJsonArray{1, 2})),
              "\"a.olook\": look.positions: is a list, not an object");
    EXPECT_EQ(Refusal(With({"description"}, QJsonValue::Null)), "\"a.olook\": description: is null, not a text");
    EXPECT_EQ(Refusal(With({"look", "reference", "name"}, QJsonObject{})),
              "\"a.olook\": look.reference.name: is an object, not a text");
    EXPECT_EQ(Refusal(With({"look", "interpolation"}, "cubic")),
              "\"a.olook\": look.interpolation: \"cubic\" is neither trilinear nor tetrahedral");
    EXPECT_EQ(Refusal(With({"look", "footage", "space"}, "")), "\"a.olook\": look.footage.space: is empty");
}

TEST(DamagedLookDocument, HugeValuesAreRefusedBeforeTheyAreUsed) {
    QJsonArray many;
    for (int i = 0; i < 100000; ++i) many.append(i);
    EXPECT_EQ(Refusal(With({"look", "positions", "gain"}, many)),
              "\"a.olook\": look.positions.gain: is a list, not a number");
    EXPECT_EQ(Refusal(With({"snapshots"}, many)), "\"a.olook\": snapshots: is a list, not an object");
    EXPECT_EQ(Refusal(With({"look", "reference", "name"}, QString(5000, 'x'))),
              "\"a.olook\": look.reference.name: is longer than 4096 bytes");
    EXPECT_EQ(Refusal(With({"look", "reference", "cell"}, QString(2 << 20, 'A'))),
              "\"a.olook\": look.reference.cell: is longer than 1048576 bytes");
}

TEST(DamagedLookDocument, AHundredMegabyteKeptLutIsRefusedNamingTheField) {
    const std::string marker = "\"clf\": \"";
    std::string text = SampleText();
    const std::size_t at = text.find(marker) + marker.size();
    text.insert(at, std::string(100u << 20, '0'));
    EXPECT_EQ(Refusal(text), "\"a.olook\": look.lut.clf: is longer than 83886080 bytes");
    // A file beyond the document's limit is refused before it is read.
    QTemporaryDir folder;
    const std::string name = folder.filePath("big.olook").toStdString();
    std::ofstream(name).close();
    ASSERT_EQ(truncate(name.c_str(), static_cast<off_t>(kMaxLookDocumentBytes + 1)), 0);
    try {
        LoadLookDocument(name);
        FAIL() << "read";
    } catch (const EError& error) {
        EXPECT_NE(std::string(error.what()).find(name), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find("too large"), std::string::npos) << error.what();
    }
}

TEST(DamagedLookDocument, ADamagedKeptLutIsRefusedNamingTheField) {
    const std::string message = Refusal(With({"look", "lut", "clf"}, "<ProcessList><LUT3D/></ProcessList>"));
    EXPECT_EQ(message.rfind("\"a.olook\": look.lut.clf: ", 0), 0u) << message;
    // A chain of operators could be read but never written again.
    const QString matrix =
        "<ProcessList compCLFversion=\"3\" id=\"m\"><Matrix inBitDepth=\"32f\" outBitDepth=\"32f\">"
        "<Array dim=\"3 3\">1 0 0 0 1 0 0 0 1</Array></Matrix></ProcessList>";
    EXPECT_EQ(Refusal(With({"look", "lut", "clf"}, matrix)),
              "\"a.olook\": look.lut.clf: the LUT holds operators other than a curve and a cube");
}

TEST(DamagedLookDocument, TheCellMustBeABase64PngOf150By150) {
    EXPECT_EQ(Refusal(With({"look", "reference", "cell"}, "not*base64")),
              "\"a.olook\": look.reference.cell: is not base64");
    EXPECT_EQ(Refusal(With({"look", "reference", "cell"}, "aGVsbG8=")),
              "\"a.olook\": look.reference.cell: is no PNG picture");
    TImage small(149, 150);
    const std::string png = EncodePngPicture(small, "");
    const QString text = QByteArray::fromStdString(png).toBase64();
    EXPECT_EQ(Refusal(With({"look", "reference", "cell"}, text)),
              "\"a.olook\": look.reference.cell: the picture is 149 x 150, not 150 x 150");
    const std::string whole = EncodePngPicture(SampleCell(5), "");
    const std::string cut = whole.substr(0, whole.size() / 2);
    EXPECT_EQ(Refusal(With({"look", "reference", "cell"}, QString(QByteArray::fromStdString(cut).toBase64()))),
              "\"a.olook\": look.reference.cell: PNG image is not valid");
}

TEST(DamagedLookDocument, TheHashMustBe64HexDigits) {
    for (const char* hash : {"", "abc", "ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789",
                             "g000000000000000000000000000000000000000000000000000000000000000"})
        EXPECT_NE(Refusal(With({"look", "reference", "hash"}, hash)).find("look.reference.hash: "), std::string::npos)
            << hash;
}

TEST(DamagedLookDocument, UnknownFieldsAreRefusedNamingThem) {
    EXPECT_EQ(Refusal(With({"look", "positions", "warmth"}, 100)),
              "\"a.olook\": look.positions.warmth: unknown field, perhaps made by a newer version");
    EXPECT_EQ(Refusal(With({"snapshots", "E"}, QJsonValue::Null)),
              "\"a.olook\": snapshots.E: unknown field, perhaps made by a newer version");
    EXPECT_EQ(Refusal(With({"tags"}, "x")), "\"a.olook\": tags: unknown field, perhaps made by a newer version");
}

TEST(DamagedLookDocument, MissingFieldsAreRefusedNamingThem) {
    QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(SampleText())).object();
    QJsonObject look = root["look"].toObject();
    QJsonObject positions = look["positions"].toObject();
    positions.remove("high");
    look["positions"] = positions;
    root["look"] = look;
    EXPECT_EQ(Refusal(QJsonDocument(root).toJson().toStdString()), "\"a.olook\": look.positions.high: is missing");
    root.remove("look");
    EXPECT_EQ(Refusal(QJsonDocument(root).toJson().toStdString()), "\"a.olook\": look: is missing");
}

TEST(DamagedLookDocument, ForeignAndNewerDocumentsAreRefused) {
    EXPECT_EQ(Refusal("hello", "x.olook").rfind("\"x.olook\" is no look document: ", 0), 0u);
    EXPECT_EQ(Refusal("[1, 2]"), "\"a.olook\" is no look document: it holds no JSON object");
    EXPECT_EQ(Refusal("{\"version\": 1}"), "\"a.olook\" is no look document: it names no format");
    EXPECT_EQ(Refusal(With({"format"}, "other-look")), "\"a.olook\" is no look document: its format is \"other-look\"");
    const std::string newer = Refusal(With({"version"}, 2));
    EXPECT_EQ(newer.rfind("\"a.olook\": version: 2: ", 0), 0u) << newer;
    EXPECT_NE(newer.find("made by a newer version"), std::string::npos) << newer;
    EXPECT_EQ(Refusal(With({"version"}, 0)), "\"a.olook\": version: 0 is outside 1..1073741824");
    EXPECT_EQ(Refusal(With({"version"}, 1.5)), "\"a.olook\": version: 1.5 is not a whole number");
    EXPECT_EQ(Refusal(With({"version"}, "1")), "\"a.olook\": version: is a text, not a number");
    EXPECT_EQ(Refusal(With({"version"}, 1)), "(read)");
}

TEST(DamagedLookDocument, EveryCutOfTheDocumentIsRefusedOnOneLine) {
    TLookDocument document;
    document.Look.Positions.Gain = 90;
    const std::string text = LookDocumentText(document);
    ASSERT_EQ(text.back(), '\n');
    for (std::size_t length = 0; length + 1 < text.size(); ++length) {
        const std::string message = Refusal(text.substr(0, length), "cut.olook");
        ASSERT_EQ(message.rfind("\"cut.olook\"", 0), 0u) << length << ": " << message;
        ASSERT_EQ(message.find('\n'), std::string::npos) << length << ": " << message;
    }
    const std::string full = SampleText();
    for (std::size_t length = 0; length < full.size(); length += 997)
        ASSERT_EQ(Refusal(full.substr(0, length), "cut.olook").rfind("\"cut.olook\"", 0), 0u) << length;
}
