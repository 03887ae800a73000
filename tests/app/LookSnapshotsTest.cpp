#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <cstring>
#include <memory>

#include "app/ImageViewer.h"
#include "app/StatusLine.h"
#include "engine/look/GradingRoad.h"
#include "engine/lut/LUT.h"
#include "formats/FormatRegistry.h"
#include "formats/LookExport.h"
#include "formats/LutConvert.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/GradingRig.h"
#include "tests/app/SavedFiles.h"

// Undo, redo and the snapshots A..D on the look panel's keys, with the
// preview and the library over the grading session: a look restored from
// either grades with the very same LUT as when it was left.

namespace {

bool SameCube(const TLUT& a, const TLUT& b) {
    if (a.CubeSize != b.CubeSize) return false;
    for (int i = 0; i < a.CubeSize; ++i)
        if (std::memcmp(a.Cube[i], b.Cube[i], sizeof(TLUT::TCubePlane)) != 0) return false;
    return true;
}

std::unique_ptr<TLUT> CopyCube(const TLUT& lut) {
    auto copy = std::make_unique<TLUT>();
    copy->Kind = lut.Kind;
    copy->CubeSize = lut.CubeSize;
    for (int i = 0; i < lut.CubeSize; ++i) std::memcpy(copy->Cube[i], lut.Cube[i], sizeof(TLUT::TCubePlane));
    return copy;
}

class LookSnapshotsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    std::unique_ptr<TGradingRig> rig;
    int exports = 0;

    QString Lib() const { return dir.filePath("lib"); }
    QString Picture(const QString& name) const { return dir.filePath("pictures/" + name); }

    void SetUp() override {
        QDir().mkpath(Lib());
        QDir().mkpath(dir.filePath("pictures"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
        SaveJpegFile((Lib() + "/meadow.jpeg").toStdString(), ColourfulPicture(150, 100));
        TImage dusk = ColourfulPicture(120, 90);
        for (int y = 0; y < dusk.Height(); ++y)
            for (int x = 0; x < dusk.Width(); ++x) dusk.Row(y)[3 * x] /= 3;  // a different cast
        SaveJpegFile((Lib() + "/dusk.jpeg").toStdString(), dusk);
        SaveImageFile(Picture("frame.bmp").toStdString(), ColourfulPicture(640, 320));
        rig = std::make_unique<TGradingRig>(Lib());
        rig->Host().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&rig->Host()));
        dialogs.PicturesToOpen.push_back(Picture("frame.bmp"));
        rig->Preview().OpenClick();
        Select("meadow");
    }
    void TearDown() override { rig.reset(); }

    template <typename T>
    T* Find(const char* name) const {
        return rig->Find<T>(name);
    }
    QSlider* Bar(const char* name) const { return Find<QSlider>(name); }
    void Select(const QString& caption) {
        const auto found = rig->Library().List()->findItems(caption, Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty()) << caption.toStdString();
        found.first()->setSelected(true);
        QApplication::processEvents();
    }
    QString SelectedCaption() const {
        const auto selected = rig->Library().List()->selectedItems();
        return selected.isEmpty() ? QString() : selected.first()->text();
    }
    // The look as Create 3D LUT writes it.
    QByteArray Export() {
        const TLutOutputProfile* profile = FindOutputProfile("Cube 3D Davinci");
        EXPECT_NE(profile, nullptr);
        const QString file = dir.filePath(QString("look%1.cube").arg(++exports));
        ExportLook(rig->Grading().LastSettings(), *profile, 33, 0, file.toStdString());
        return FileBytes(file);
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &rig->Host();
        QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
        QApplication::processEvents();
    }
};

}  // namespace

// Controls, match and the reference choice changed and undone one by one
// give back the exported LUT byte for byte; redo gives the changed one.
TEST_F(LookSnapshotsTest, UndoAndRedoRestoreTheSameLutBytes) {
    const QByteArray start = Export();
    Bar("tbrColorGain")->setValue(140);
    QApplication::processEvents();
    Find<QCheckBox>("cbxMatchPreview")->setChecked(true);
    QApplication::processEvents();
    Bar("tbrYellow")->setValue(30);
    QApplication::processEvents();
    const QByteArray changed = Export();
    ASSERT_NE(changed, start);
    Select("dusk");
    const QByteArray dusk = Export();
    ASSERT_NE(dusk, changed);

    const int builds = rig->Grading().BuildCount();
    Key(Qt::Key_Z, Qt::ControlModifier);                 // back to meadow, shown in the list
    EXPECT_EQ(rig->Grading().BuildCount(), builds + 1);  // the look is built once
    EXPECT_EQ(SelectedCaption(), "meadow");
    EXPECT_TRUE(rig->Grading().Reference().endsWith("meadow.jpeg"));
    EXPECT_EQ(Export(), changed);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Bar("tbrYellow")->value(), 100);
    EXPECT_EQ(Find<QLabel>("lblSatYellow")->text(), "100%");
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_FALSE(Find<QCheckBox>("cbxMatchPreview")->isChecked());
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Bar("tbrColorGain")->value(), 100);
    EXPECT_EQ(Export(), start);
    // The selection of meadow itself is a step: before it, nothing was chosen.
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(rig->Grading().Reference().isEmpty());
    EXPECT_EQ(SelectedCaption(), QString());

    for (int i = 0; i < 5; ++i) Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(SelectedCaption(), "dusk");
    EXPECT_EQ(Export(), dusk);
    EXPECT_FALSE(rig->Grading().History().CanRedo());
}

// A new footage space is a step; undo converts the preview back.
TEST_F(LookSnapshotsTest, FootageSpaceIsAStep) {
    QComboBox* footage = Find<QComboBox>("cbxFootage");
    ASSERT_GT(footage->count(), 1);
    const TImage shown = rig->Preview().Viewer()->Scaled().Clone();
    footage->setCurrentIndex(1);
    QApplication::processEvents();
    EXPECT_EQ(rig->Grading().Footage().Chosen(), 1);
    EXPECT_FALSE(rig->Preview().Viewer()->Scaled().SamePixels(shown));
    rig->Grading().Undo();
    EXPECT_EQ(footage->currentIndex(), 0);
    EXPECT_EQ(rig->Grading().Footage().Chosen(), 0);
    EXPECT_TRUE(rig->Preview().Viewer()->Scaled().SamePixels(shown));
    rig->Grading().Redo();
    EXPECT_EQ(rig->Grading().Footage().Chosen(), 1);
}

// Ctrl+1 keeps the look as A; after changes, 1 brings it back with the same
// bytes, as one step undo takes back. A's LUT for the split view is the one
// the matched look had; Alt+1 compares with it and Alt+1 again stops comparing.
TEST_F(LookSnapshotsTest, SnapshotsRecallTheSameLut) {
    Find<QCheckBox>("cbxMatchPreview")->setChecked(true);
    Bar("tbrStrength")->setValue(70);
    QApplication::processEvents();
    const QByteArray kept = Export();
    const std::unique_ptr<TLUT> keptLut = CopyCube(rig->Grading().Lut());
    Key(Qt::Key_1, Qt::ControlModifier);
    Select("dusk");
    Bar("tbrRed")->setValue(20);
    QApplication::processEvents();
    const QByteArray other = Export();
    ASSERT_NE(other, kept);

    std::shared_ptr<const TLUT> snapshot = rig->Grading().Snapshots().SnapshotLut(0);
    ASSERT_NE(snapshot, nullptr);
    EXPECT_TRUE(SameCube(*snapshot, *keptLut));
    EXPECT_EQ(rig->Grading().Snapshots().SnapshotLut(1), nullptr);
    int comparisons = 0;
    QObject::connect(&rig->Grading().Snapshots(), &TSnapshots::ComparisonChanged, [&] { ++comparisons; });
    Key(Qt::Key_1, Qt::AltModifier);
    EXPECT_EQ(rig->Grading().Snapshots().Comparison(), 0);
    Key(Qt::Key_2, Qt::AltModifier);  // B is empty: its action waits
    EXPECT_EQ(rig->Grading().Snapshots().Comparison(), 0);
    Key(Qt::Key_1, Qt::AltModifier);
    EXPECT_EQ(rig->Grading().Snapshots().Comparison(), -1);
    EXPECT_EQ(comparisons, 2);

    Key(Qt::Key_1);
    EXPECT_EQ(SelectedCaption(), "meadow");
    EXPECT_TRUE(Find<QCheckBox>("cbxMatchPreview")->isChecked());
    EXPECT_EQ(Bar("tbrStrength")->value(), 70);
    EXPECT_EQ(Bar("tbrRed")->value(), 100);
    EXPECT_EQ(Export(), kept);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(SelectedCaption(), "dusk");
    EXPECT_EQ(Export(), other);
}

// A reference renamed in the list stays the one undo and the snapshots
// choose, under its new name; the renaming itself is no step.
TEST_F(LookSnapshotsTest, RenamedReferencesFollowInUndoAndSnapshots) {
    const QByteArray meadow = Export();
    rig->Grading().StoreSnapshot(0);
    Select("dusk");
    const int steps = rig->Grading().History().UndoCount();
    rig->Library().Edited(rig->Library().List()->findItems("meadow", Qt::MatchExactly).first(), "field");
    QApplication::processEvents();
    EXPECT_EQ(rig->Grading().History().UndoCount(), steps);
    ASSERT_TRUE(QFile::exists(Lib() + "/field.jpeg"));
    EXPECT_NE(rig->Grading().Snapshots().SnapshotLut(0), nullptr);

    rig->Grading().Undo();
    EXPECT_EQ(SelectedCaption(), "field");
    EXPECT_TRUE(rig->Grading().Reference().endsWith("field.jpeg"));
    EXPECT_EQ(Export(), meadow);
    Select("dusk");
    rig->Grading().RecallSnapshot(0);
    EXPECT_EQ(SelectedCaption(), "field");
    EXPECT_EQ(Export(), meadow);
}

// A previewed LUT file is a look as a reference is: undo returns to the
// reference's look, redo to the very LUT object previewed before.
TEST_F(LookSnapshotsTest, UndoOfAPreviewedLut) {
    const QByteArray meadow = Export();
    rig->Preview().PreviewLut(CopyCube(rig->Grading().Lut()), "kept look");
    QApplication::processEvents();
    const TLUT* previewed = rig->Grading().PreviewLut();
    ASSERT_NE(previewed, nullptr);
    EXPECT_TRUE(rig->Grading().Reference().isEmpty());

    rig->Grading().Undo();
    EXPECT_EQ(rig->Grading().PreviewLut(), nullptr);
    EXPECT_EQ(SelectedCaption(), "meadow");
    EXPECT_EQ(Export(), meadow);
    rig->Grading().Redo();
    EXPECT_EQ(rig->Grading().PreviewLut(), previewed);
    EXPECT_EQ(rig->Grading().PreviewLutName(), "kept look");
    EXPECT_EQ(SelectedCaption(), QString());
    EXPECT_TRUE(rig->StatusLine()->Text().contains("LUT preview: kept look"));
}

// Digits typed into the value editor or the list's rename editor are
// text, not snapshot recalls; the same digit elsewhere recalls.
TEST_F(LookSnapshotsTest, DigitsInTextFieldsAreNotRecalls) {
    Bar("tbrStrength")->setValue(60);
    QApplication::processEvents();
    rig->Grading().StoreSnapshot(0);
    Bar("tbrStrength")->setValue(80);
    QApplication::processEvents();

    QLabel* label = Find<QLabel>("lblSatOverall");
    ASSERT_NE(label, nullptr);
    QTest::mouseDClick(label, Qt::LeftButton);
    auto* editor = Find<QLineEdit>("edtPosition");
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(editor->hasFocus());
    Key(Qt::Key_1);
    Key(Qt::Key_2);
    EXPECT_EQ(editor->text(), "12");
    EXPECT_EQ(Bar("tbrStrength")->value(), 80);
    Key(Qt::Key_Return);
    EXPECT_EQ(Bar("tbrSaturation")->value(), 12);

    rig->Library().List()->setFocus();
    rig->Library().RenameClick();
    QApplication::processEvents();
    auto* rename = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(rename, nullptr);
    Key(Qt::Key_End);
    Key(Qt::Key_1);
    EXPECT_TRUE(rename->text().endsWith("1"));
    EXPECT_EQ(Bar("tbrStrength")->value(), 80);
    Key(Qt::Key_Escape);

    rig->Preview().Viewer()->setFocus();
    Key(Qt::Key_1);
    EXPECT_EQ(Bar("tbrStrength")->value(), 60);
}

// Compare with Snapshot A: the split view opens with the working copy graded
// by the kept look on its other side, against the current look; ending the
// comparison gives the ungraded copy back.
TEST_F(LookSnapshotsTest, SplitViewComparesWithTheChosenSnapshot) {
    Key(Qt::Key_1, Qt::ControlModifier);
    std::shared_ptr<const TLUT> kept = rig->Grading().Snapshots().SnapshotLut(0);
    ASSERT_NE(kept, nullptr);
    Select("dusk");
    TImageViewer* viewer = rig->Preview().Viewer();
    ASSERT_FALSE(viewer->SplitView());

    Key(Qt::Key_1, Qt::AltModifier);
    EXPECT_TRUE(viewer->SplitView());
    TImage expected = viewer->Scaled().Clone();
    GradePicture(*kept, expected);
    EXPECT_TRUE(viewer->Comparison().SamePixels(expected));
    TImage current = viewer->Scaled().Clone();
    GradePicture(rig->Grading().Lut(), current);
    EXPECT_TRUE(viewer->Display().SamePixels(current));
    EXPECT_FALSE(viewer->Comparison().SamePixels(viewer->Display()));
    // The status line says what the left side is, while it is on screen.
    EXPECT_TRUE(rig->StatusLine()->Text().contains("split against snapshot A"));
    Find<QToolButton>("sbnSplitView")->click();
    EXPECT_FALSE(rig->StatusLine()->Text().contains("snapshot"));
    Find<QToolButton>("sbnSplitView")->click();
    EXPECT_TRUE(rig->StatusLine()->Text().contains("split against snapshot A"));

    Key(Qt::Key_1, Qt::AltModifier);
    EXPECT_TRUE(viewer->Comparison().SamePixels(viewer->Scaled()));
    EXPECT_FALSE(rig->StatusLine()->Text().contains("snapshot"));
}

// Compare with Snapshot A (Alt+1) turned off again gives the viewer back as
// it was before: the split view it turned on goes off, one that was on
// already stays on.
TEST_F(LookSnapshotsTest, EndingAComparisonRestoresTheSplitView) {
    Key(Qt::Key_1, Qt::ControlModifier);
    Select("dusk");
    TImageViewer* viewer = rig->Preview().Viewer();
    auto* split = Find<QToolButton>("sbnSplitView");
    ASSERT_FALSE(split->isChecked());

    Key(Qt::Key_1, Qt::AltModifier);
    ASSERT_TRUE(viewer->SplitView());
    Key(Qt::Key_1, Qt::AltModifier);
    EXPECT_EQ(rig->Grading().Snapshots().Comparison(), -1);
    EXPECT_FALSE(split->isChecked());
    EXPECT_FALSE(viewer->SplitView());

    // A plain split before the comparison stays after it.
    split->click();
    ASSERT_TRUE(viewer->SplitView());
    Key(Qt::Key_1, Qt::AltModifier);
    EXPECT_TRUE(viewer->SplitView());
    Key(Qt::Key_1, Qt::AltModifier);
    EXPECT_TRUE(split->isChecked());
    EXPECT_TRUE(viewer->SplitView());
    EXPECT_TRUE(viewer->Comparison().SamePixels(viewer->Scaled()));
    EXPECT_FALSE(rig->StatusLine()->Text().contains("snapshot"));
}
