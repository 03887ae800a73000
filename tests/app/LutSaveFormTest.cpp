#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <memory>

#include "app/Dialogs.h"
#include "app/LutSaveForm.h"
#include "engine/base/Error.h"
#include "engine/colour/ColorSpace.h"
#include "engine/look/LookControls.h"
#include "engine/look/LookTransfer.h"
#include "engine/lut/LUT.h"
#include "engine/picture/Image.h"
#include "formats/FormatRegistry.h"
#include "formats/LutFormat.h"

namespace {

// Answers the save-file dialog from a prepared list (an empty answer, or no
// answer left, is "Cancel") and keeps what the dialog was asked with.
class TLutSaveDialogs : public TDialogs {
public:
    struct TSaveCall {
        QString StartFolder, Filter, DefaultExtension;
    };
    QStringList Answers;
    QList<TSaveCall> SaveCalls;
    QStringList Errors;

    QString SaveFile(QWidget*, const QString&, const QString& startFolder, const QString& filter,
                     const QString& defaultExtension) override {
        SaveCalls << TSaveCall{startFolder, filter, defaultExtension};
        return Answers.isEmpty() ? QString() : Answers.takeFirst();
    }
    void ShowError(QWidget*, const QString& text) override { Errors << text; }
};

class LutSaveFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDialogs(&dialogs);
        // No folder or profile remembered from an earlier test.
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "tarnwerk", "Ombrane");
        settings.remove("folders");
        settings.remove("lut-export");
        ASSERT_TRUE(folder.isValid());
    }
    void TearDown() override { SetDialogs(nullptr); }

    QString InFolder(const QString& name) const { return folder.filePath(name); }

    TLutSaveDialogs dialogs;
    QTemporaryDir folder;
};

// A look with a clear cast, so that an exported cube differs from identity
// and from a look built at another size.
TLookSettings WarmLook() {
    TImage reference(150, 150);
    for (int y = 0; y < reference.Height(); ++y) {
        std::uint8_t* row = reference.Row(y);
        for (int x = 0; x < reference.Width(); ++x) {
            row[3 * x + 0] = static_cast<std::uint8_t>(20 + x / 3);   // blue
            row[3 * x + 1] = static_cast<std::uint8_t>(60 + y / 2);   // green
            row[3 * x + 2] = static_cast<std::uint8_t>(120 + x / 2);  // red
        }
    }
    TColorStats stats;
    ComputeColorStats(reference, stats);
    TLookPositions positions;
    positions.Saturation = 130;
    return MakeLookSettings(stats, positions);
}

QComboBox* Combo(QWidget& form, const char* name) {
    auto* combo = form.findChild<QComboBox*>(QString::fromLatin1(name));
    EXPECT_NE(combo, nullptr) << name;
    return combo;
}
QPushButton* Button(QWidget& form, const char* name) {
    auto* button = form.findChild<QPushButton*>(QString::fromLatin1(name));
    EXPECT_NE(button, nullptr) << name;
    return button;
}
QLineEdit* FileEdit(QWidget& form) {
    auto* edit = form.findChild<QLineEdit*>(QStringLiteral("edtLUTFile"));
    EXPECT_NE(edit, nullptr);
    return edit;
}

QStringList Items(QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
}

void ChooseProfile(QWidget& form, const QString& name) {
    QComboBox* formats = Combo(form, "cbxOutFormat");
    const int index = formats->findText(name);
    ASSERT_GE(index, 0) << name.toStdString();
    formats->setCurrentIndex(index);
}

TLUTFormat& FormatOf(const TfrmSaveLut& form) {
    const TLutOutputProfile* profile = form.SelectedProfile();
    EXPECT_NE(profile, nullptr);
    TLUTFormat* format = GetLutFormat(profile->FormatIndex);
    EXPECT_NE(format, nullptr);
    return *format;
}

// The largest difference between two cubes of the same size.
double LargestDifference(const TLUT& a, const TLUT& b) {
    double largest = 0.0;
    const int n = a.CubeSize;
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int bl = 0; bl < n; ++bl) {
                const TRGBDouble& x = a.Cube[r][g][bl];
                const TRGBDouble& y = b.Cube[r][g][bl];
                largest = std::max(
                    {largest, std::abs(x.Red - y.Red), std::abs(x.Green - y.Green), std::abs(x.Blue - y.Blue)});
            }
    return largest;
}

std::unique_ptr<TLUT> LookAt(const TLookSettings& settings, int size) {
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = size;
    BuildLookCube(settings, settings.Factors, *lut);
    return lut;
}

std::unique_ptr<TLUT> ReadBack(TLUTFormat& format, const QString& fileName) {
    auto lut = std::make_unique<TLUT>();
    format.LoadFromFile(fileName.toStdString(), *lut);
    return lut;
}

}  // namespace

TEST_F(LutSaveFormTest, OffersTheCubeProfilesInListOrderAndStartsEmpty) {
    TfrmSaveLut form(WarmLook());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Save LUT file"));
    EXPECT_EQ(form.size(), QSize(496, 244));

    const QStringList expected = {
        "3DL Scratch, Autodesk, Blackmagic, Cine-tal",
        "3DL Fusion",
        "Autodesk Lustre 3D",
        "Clipster 3D",
        "Codex 3D",
        "Colorfront OSD 3D",
        "Cube 3D Iridas, Nuke, AfterEffects",
        "Cube 3D Davinci",
        "Cube 3D Truelight",
        "Davinci DAT 3D",
        "Dolby DD3",
        "FSI CFE (Flanders Scientific) 3D",
        "FSI DIT (Flanders Scientific) 3D",
        "Nucoda 3D",
        "Luther 3D",
        "Pandora 3D, Apple 3D m3d",
        "PixelFarm PFClean 3D",
        "Quantel 3D",
        "Technicolor 3D mga",
        "Hald CLUT",
        "Academy/ASC CLF",
        "Sony Imageworks spi3d",
        "Cinespace 3D",
    };
    QComboBox* formats = Combo(form, "cbxOutFormat");
    EXPECT_EQ(Items(formats), expected);
    EXPECT_FALSE(formats->isEditable());
    EXPECT_EQ(formats->currentIndex(), -1);
    EXPECT_EQ(form.SelectedProfile(), nullptr);

    EXPECT_FALSE(FileEdit(form)->isEnabled());
    EXPECT_TRUE(FileEdit(form)->isReadOnly());
    EXPECT_TRUE(FileEdit(form)->text().isEmpty());
    EXPECT_FALSE(Button(form, "btnSetLUTFile")->isEnabled());
    EXPECT_EQ(Button(form, "btnSetLUTFile")->text(), QStringLiteral("..."));
    EXPECT_FALSE(Combo(form, "cbxDimSize")->isEnabled());
    EXPECT_EQ(Combo(form, "cbxDimSize")->currentText(), QStringLiteral("Default"));
    EXPECT_FALSE(Combo(form, "cbxBits")->isEnabled());
    EXPECT_EQ(Items(Combo(form, "cbxBits")), QStringList({"Default", "8 bit", "10 bit", "12 bit", "14 bit", "16 bit"}));
    EXPECT_EQ(Combo(form, "cbxBits")->currentText(), QStringLiteral("Default"));
    EXPECT_FALSE(Button(form, "btnSave")->isEnabled());
    EXPECT_TRUE(Button(form, "btnSave")->isDefault());
    EXPECT_TRUE(Button(form, "btnCancel")->isEnabled());
}

TEST_F(LutSaveFormTest, SizeBoxOnlyForTheProfilesThatAllowIt) {
    TfrmSaveLut form(WarmLook());
    const QStringList selectable = {"Cube 3D Davinci",       "Nucoda 3D",   "Hald CLUT", "Academy/ASC CLF",
                                    "Sony Imageworks spi3d", "Cinespace 3D"};
    for (const QString& name : Items(Combo(form, "cbxOutFormat"))) {
        // Leave something typed in the size box to see that a change resets it.
        Combo(form, "cbxDimSize")->setEditText(QStringLiteral("17"));
        ChooseProfile(form, name);
        QComboBox* size = Combo(form, "cbxDimSize");
        EXPECT_EQ(size->isEnabled(), selectable.contains(name)) << name.toStdString();
        EXPECT_EQ(size->currentText(), QStringLiteral("Default")) << name.toStdString();
        if (size->isEnabled() && name == "Hald CLUT") {
            // A picture LUT's levels hold square sizes only.
            EXPECT_EQ(Items(size), QStringList({"Default", "4", "9", "16", "25", "36", "49", "64", "81", "100"}));
        } else if (size->isEnabled()) {
            EXPECT_EQ(Items(size), QStringList({"Default", "17", "32", "33", "64"})) << name.toStdString();
        }
        EXPECT_FALSE(Combo(form, "cbxBits")->isEnabled()) << name.toStdString();
        EXPECT_EQ(Combo(form, "cbxBits")->currentText(), QStringLiteral("Default"));
        EXPECT_TRUE(FileEdit(form)->isEnabled());
        EXPECT_TRUE(Button(form, "btnSetLUTFile")->isEnabled());
        EXPECT_FALSE(Button(form, "btnSave")->isEnabled()) << "no file chosen yet";
    }
}

TEST_F(LutSaveFormTest, SizeBoxTakesUpToFiveDigitsAndDeleteClearsDefault) {
    TfrmSaveLut form(WarmLook());
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ChooseProfile(form, QStringLiteral("Cube 3D Davinci"));
    QComboBox* size = Combo(form, "cbxDimSize");
    size->setFocus();

    QTest::keyClicks(size, QStringLiteral("123456"));
    EXPECT_EQ(size->currentText(), QStringLiteral("12345"));
    QTest::keyClick(size, Qt::Key_Backspace);
    EXPECT_EQ(size->currentText(), QStringLiteral("1234"));

    // A letter replaces "Default" but is itself dropped; digits go in.
    size->setEditText(QStringLiteral("Default"));
    QTest::keyClicks(size, QStringLiteral("a6x4-"));
    EXPECT_EQ(size->currentText(), QStringLiteral("64"));

    // What is typed stays as typed: no completion from the list ("3", not "32").
    size->setEditText(QStringLiteral("Default"));
    QTest::keyClicks(size, QStringLiteral("3"));
    EXPECT_EQ(size->currentText(), QStringLiteral("3"));
    EXPECT_EQ(form.ChosenSize(), 3);

    size->setEditText(QStringLiteral("Default"));
    QTest::keyClick(size, Qt::Key_Delete);
    EXPECT_EQ(size->currentText(), QString());

    // Delete only clears the word "Default", not a number.
    size->setEditText(QStringLiteral("17"));
    size->lineEdit()->setCursorPosition(2);
    QTest::keyClick(size, Qt::Key_Delete);
    EXPECT_EQ(size->currentText(), QStringLiteral("17"));

    // Choosing an item still works through the list.
    size->setCurrentIndex(size->findText(QStringLiteral("33")));
    EXPECT_EQ(size->currentText(), QStringLiteral("33"));
}

TEST_F(LutSaveFormTest, FileButtonUsesTheProfileAndRemembersTheFolder) {
    const QString chosen = InFolder(QStringLiteral("look.cube"));
    const QString fresh = StartFolder(TFileKind::LutExport, true);
    {
        TfrmSaveLut form(WarmLook());
        ChooseProfile(form, QStringLiteral("Cube 3D Iridas, Nuke, AfterEffects"));
        dialogs.Answers << chosen;
        QTest::mouseClick(Button(form, "btnSetLUTFile"), Qt::LeftButton);
        ASSERT_EQ(dialogs.SaveCalls.size(), 1);
        // Nothing chosen before: the user's pictures (or home), with the
        // profile's name suggested.
        EXPECT_EQ(dialogs.SaveCalls[0].StartFolder, QDir(fresh).filePath("Cube 3D Iridas, Nuke, AfterEffects.cube"));
        EXPECT_EQ(dialogs.SaveCalls[0].Filter, QStringLiteral("Cube 3D Iridas, Nuke, AfterEffects|*.cube"));
        EXPECT_EQ(dialogs.SaveCalls[0].DefaultExtension, QStringLiteral("cube"));
        EXPECT_EQ(FileEdit(form)->text(), chosen);
        EXPECT_TRUE(Button(form, "btnSave")->isEnabled());
        EXPECT_EQ(StartFolder(TFileKind::LutExport, true), QFileInfo(chosen).absolutePath());
        EXPECT_FALSE(StartFolder(TFileKind::LutExport, true).endsWith('/'));

        // A new profile keeps folder and name with its own extension.
        ChooseProfile(form, QStringLiteral("3DL Fusion"));
        EXPECT_EQ(FileEdit(form)->text(), InFolder(QStringLiteral("look.3dl")));
        ChooseProfile(form, QStringLiteral("Dolby DD3"));
        EXPECT_EQ(FileEdit(form)->text(), InFolder(QStringLiteral("look.dd3")));
        EXPECT_TRUE(Button(form, "btnSave")->isEnabled());

        // Cancelling the file dialog changes nothing.
        QTest::mouseClick(Button(form, "btnSetLUTFile"), Qt::LeftButton);
        ASSERT_EQ(dialogs.SaveCalls.size(), 2);
        EXPECT_EQ(dialogs.SaveCalls[1].Filter, QStringLiteral("Dolby DD3|*.dd3"));
        EXPECT_EQ(dialogs.SaveCalls[1].DefaultExtension, QStringLiteral("dd3"));
        EXPECT_EQ(FileEdit(form)->text(), InFolder(QStringLiteral("look.dd3")));
    }
    // The second opening starts fresh, but in the folder chosen before.
    TfrmSaveLut again(WarmLook());
    EXPECT_TRUE(FileEdit(again)->text().isEmpty());
    EXPECT_FALSE(Button(again, "btnSave")->isEnabled());
    ChooseProfile(again, QStringLiteral("Nucoda 3D"));
    QTest::mouseClick(Button(again, "btnSetLUTFile"), Qt::LeftButton);
    ASSERT_EQ(dialogs.SaveCalls.size(), 3);
    EXPECT_EQ(dialogs.SaveCalls[2].StartFolder, InFolder("Nucoda 3D.cms"));
    EXPECT_EQ(dialogs.SaveCalls[2].Filter, QStringLiteral("Nucoda 3D|*.cms"));
}

TEST_F(LutSaveFormTest, SaveWritesTheLookAtTheChosenSize) {
    const TLookSettings look = WarmLook();
    struct TCase {
        const char* Profile;
        const char* SizeText;  // nullptr: leave "Default"
        const char* FileName;
        int ExpectedSize;
    };
    const TCase cases[] = {
        {"Cube 3D Davinci", "17", "look17.cube", 17},
        {"Nucoda 3D", "64", "look64.cms", 64},
        {"Cube 3D Davinci", nullptr, "look33.cube", 33},
        {"Cube 3D Iridas, Nuke, AfterEffects", nullptr, "look32.cube", 32},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.FileName);
        TfrmSaveLut form(look);
        ChooseProfile(form, QString::fromLatin1(c.Profile));
        dialogs.Answers << InFolder(QString::fromLatin1(c.FileName));
        form.btnSetLUTFileClick();
        if (c.SizeText) Combo(form, "cbxDimSize")->setEditText(QString::fromLatin1(c.SizeText));
        if (c.ExpectedSize == 17) {
            QDir().mkpath(QStringLiteral(SCREENSHOT_DIR));
            EXPECT_TRUE(form.grab().save(QStringLiteral(SCREENSHOT_DIR "/export-dialog.png")));
        }
        EXPECT_EQ(form.ChosenSize(), c.ExpectedSize);
        form.btnSaveClick();
        EXPECT_EQ(form.result(), QDialog::Accepted) << "a saved dialog closes";

        const auto written = ReadBack(FormatOf(form), InFolder(QString::fromLatin1(c.FileName)));
        ASSERT_EQ(written->CubeSize, c.ExpectedSize);
        const auto direct = LookAt(look, c.ExpectedSize);
        // The file holds the look built at that size, not a resampled 33-point one.
        EXPECT_LT(LargestDifference(*written, *direct), 1e-4);
    }
    EXPECT_TRUE(dialogs.Errors.isEmpty());

    // Dolby DD3: the 3dl format at 17 points and 12 bits.
    TfrmSaveLut dolby(look);
    ChooseProfile(dolby, QStringLiteral("Dolby DD3"));
    EXPECT_EQ(dolby.ChosenSize(), 17);
    EXPECT_EQ(dolby.ChosenBits(), 12);
    EXPECT_EQ(FormatOf(dolby).Name, "3DL");
    // Technicolor mga: the Pandora format at 33 points and 16 bits.
    TfrmSaveLut mga(look);
    ChooseProfile(mga, QStringLiteral("Technicolor 3D mga"));
    EXPECT_EQ(mga.ChosenSize(), 33);
    EXPECT_EQ(mga.ChosenBits(), 16);
}

TEST_F(LutSaveFormTest, EnterSavesThroughTheDefaultButton) {
    TfrmSaveLut form(WarmLook());
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ChooseProfile(form, QStringLiteral("Davinci DAT 3D"));
    dialogs.Answers << InFolder(QStringLiteral("enter.dat"));
    QTest::mouseClick(Button(form, "btnSetLUTFile"), Qt::LeftButton);
    QTest::keyClick(&form, Qt::Key_Return);
    EXPECT_TRUE(QFileInfo::exists(InFolder(QStringLiteral("enter.dat"))));
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(dialogs.Errors.isEmpty());
}

TEST_F(LutSaveFormTest, SizesOutsideTwoToHundredOneAreRefusedAndNothingIsWritten) {
    const QString target = InFolder(QStringLiteral("refused.cube"));
    for (const char* typed : {"", "0", "1", "102", "99999"}) {
        SCOPED_TRACE(typed);
        TfrmSaveLut form(WarmLook());
        ChooseProfile(form, QStringLiteral("Cube 3D Davinci"));
        dialogs.Answers << target;
        form.btnSetLUTFileClick();
        Combo(form, "cbxDimSize")->setEditText(QString::fromLatin1(typed));
        EXPECT_THROW(form.btnSaveClick(), EError);
        EXPECT_FALSE(QFileInfo::exists(target));
        EXPECT_NE(form.result(), QDialog::Accepted);
    }
    // Through the button the refusal reaches the user as a message.
    TfrmSaveLut form(WarmLook());
    form.show();
    ChooseProfile(form, QStringLiteral("Nucoda 3D"));
    dialogs.Answers << target;
    form.btnSetLUTFileClick();
    Combo(form, "cbxDimSize")->setEditText(QStringLiteral("102"));
    QTest::mouseClick(Button(form, "btnSave"), Qt::LeftButton);
    ASSERT_EQ(dialogs.Errors.size(), 1);
    EXPECT_TRUE(dialogs.Errors[0].contains(QStringLiteral("101")));
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(QFileInfo::exists(target));
    // The smallest and largest sizes pass.
    Combo(form, "cbxDimSize")->setEditText(QStringLiteral("2"));
    EXPECT_EQ(form.ChosenSize(), 2);
    Combo(form, "cbxDimSize")->setEditText(QStringLiteral("101"));
    EXPECT_EQ(form.ChosenSize(), 101);
}

TEST_F(LutSaveFormTest, WriterErrorKeepsTheDialogOpen) {
    TfrmSaveLut form(WarmLook());
    ChooseProfile(form, QStringLiteral("Quantel 3D"));
    const QString target = InFolder(QStringLiteral("missing-folder/look.txt"));
    dialogs.Answers << target;
    form.btnSetLUTFileClick();
    EXPECT_THROW(form.btnSaveClick(), EError);
    EXPECT_NE(form.result(), QDialog::Accepted);
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST_F(LutSaveFormTest, SuggestsLookAndProfileRemembersTheProfileAndReportsTheSave) {
    QMainWindow window;
    {
        TfrmSaveLut form(WarmLook(), &window);
        form.SetLookName(QStringLiteral("Meadow: dusk/late"));
        ChooseProfile(form, QStringLiteral("Cube 3D Davinci"));
        dialogs.Answers << InFolder(QStringLiteral("chosen.cube"));
        form.btnSetLUTFileClick();
        ASSERT_EQ(dialogs.SaveCalls.size(), 1);
        // Characters no file name holds become "-".
        EXPECT_EQ(QFileInfo(dialogs.SaveCalls[0].StartFolder).fileName(),
                  QStringLiteral("Meadow- dusk-late - Cube 3D Davinci.cube"));
        form.btnSaveClick();
        EXPECT_EQ(form.result(), QDialog::Accepted);
        ASSERT_TRUE(QFileInfo::exists(InFolder(QStringLiteral("chosen.cube"))));
        EXPECT_TRUE(window.statusBar()->currentMessage().contains(
            QDir::toNativeSeparators(InFolder(QStringLiteral("chosen.cube")))));
    }
    // The next opening starts with the profile saved with, ready to choose a
    // file in the folder used.
    TfrmSaveLut again(WarmLook(), &window);
    ASSERT_NE(again.SelectedProfile(), nullptr);
    EXPECT_EQ(again.SelectedProfile()->Name, "Cube 3D Davinci");
    EXPECT_TRUE(Button(again, "btnSetLUTFile")->isEnabled());
    EXPECT_FALSE(Button(again, "btnSave")->isEnabled());
    again.SetLookName(QStringLiteral("Meadow"));
    again.btnSetLUTFileClick();
    ASSERT_EQ(dialogs.SaveCalls.size(), 2);
    EXPECT_EQ(dialogs.SaveCalls[1].StartFolder, InFolder(QStringLiteral("Meadow - Cube 3D Davinci.cube")));

    // A cancelled dialog neither remembers its profile nor reports a save.
    window.statusBar()->clearMessage();
    {
        TfrmSaveLut cancelled(WarmLook(), &window);
        ChooseProfile(cancelled, QStringLiteral("Nucoda 3D"));
        cancelled.reject();
    }
    EXPECT_TRUE(window.statusBar()->currentMessage().isEmpty());
    TfrmSaveLut third(WarmLook(), &window);
    ASSERT_NE(third.SelectedProfile(), nullptr);
    EXPECT_EQ(third.SelectedProfile()->Name, "Cube 3D Davinci");
}
