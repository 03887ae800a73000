#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>

#include "engine/base/Error.h"
#include "engine/picture/Thumbnail.h"
#include "grading/LookDocument.h"
#include "library/ReferenceLibrary.h"
#include "tests/library/ReadBytes.h"

// Look documents in the reference library: kept byte for byte once they
// read, their cell the one of their look's reference.

namespace {

// A cell of varied pixels: a cell resized or re-encoded would show.
TImage VariedCell() {
    TImage cell(kThumbnailSize, kThumbnailSize);
    for (int y = 0; y < cell.Height(); ++y)
        for (int x = 0; x < cell.Width() * 3; ++x) cell.Row(y)[x] = static_cast<std::uint8_t>((x * 7 + y * 13) % 251);
    return cell;
}

class LibraryLookDocumentTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString Path(const QString& name) const { return dir.filePath(name); }
    void SetUp() override { QDir().mkpath(Path("lib")); }

    QString SavedLook(const QString& name, bool withReference = true) const {
        TLookDocument document;
        if (withReference) {
            document.Look.ReferenceName = "dune.jpeg";
            document.Look.ReferenceHash = std::string(64, 'a');
            document.Look.ReferenceCell = VariedCell();
        }
        document.Look.Positions.Saturation = 160;
        document.Description = "warm dunes";
        SaveLookDocument(document, Path(name).toStdString());
        return Path(name);
    }
};

}  // namespace

TEST_F(LibraryLookDocumentTest, ALookIsKeptAsItIsAndGivesItsReferencesCell) {
    const QString look = SavedLook("Warm Dunes.olook");
    TReferenceLibrary library(Path("lib").toStdString());
    EXPECT_EQ(library.NameForAdd(look.toStdString()), "Warm Dunes.olook");
    EXPECT_EQ(library.NameForAdd(Path("dunes.png").toStdString()), "dunes.jpeg");

    library.Add(look.toStdString(), false);
    EXPECT_EQ(ReadBytes(Path("lib/Warm Dunes.olook")), ReadBytes(look));
    EXPECT_TRUE(library.LoadCell("Warm Dunes.olook").SamePixels(VariedCell()));
    EXPECT_EQ(TReferenceLibrary::CaptionOf("Warm Dunes.olook"), "Warm Dunes");

    // Renamed, it keeps its extension and its bytes.
    EXPECT_EQ(library.Rename("Warm Dunes.olook", "Cold"), "Cold.olook");
    EXPECT_EQ(ReadBytes(Path("lib/Cold.olook")), ReadBytes(look));

    // A look without a reference shows a white cell.
    library.Add(SavedLook("plain.olook", false).toStdString(), false);
    const TImage plain = library.LoadCell("plain.olook");
    ASSERT_EQ(plain.Width(), kThumbnailSize);
    ASSERT_EQ(plain.Height(), kThumbnailSize);
    for (int y = 0; y < plain.Height(); y += 37)
        for (int x = 0; x < plain.Width() * 3; x += 41) EXPECT_EQ(plain.Row(y)[x], 255);
}

TEST_F(LibraryLookDocumentTest, ADamagedLookIsRefusedNamingItAndNothingIsWritten) {
    TReferenceLibrary library(Path("lib").toStdString());
    const QString look = SavedLook("cut.olook");
    QByteArray bytes = ReadBytes(look);
    QFile cut(look);
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly | QIODevice::Truncate));
    cut.write(bytes.left(bytes.size() / 2));
    cut.close();
    try {
        library.Add(look.toStdString(), true);
        ADD_FAILURE() << "a cut look document was added";
    } catch (const EError& error) {
        EXPECT_NE(std::string(error.what()).find("cut.olook"), std::string::npos) << error.what();
    }
    EXPECT_TRUE(library.Files().empty());

    // One damaged after it was added is refused when its cell is asked for.
    const QString good = SavedLook("good.olook");
    library.Add(good.toStdString(), true);
    QFile inLibrary(Path("lib/good.olook"));
    ASSERT_TRUE(inLibrary.open(QIODevice::WriteOnly | QIODevice::Truncate));
    inLibrary.write("[]");
    inLibrary.close();
    EXPECT_THROW(library.LoadCell("good.olook"), EError);
}
