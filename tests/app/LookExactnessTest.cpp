#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <cmath>
#include <memory>

#include "app/LookFiles.h"
#include "app/LookPanel.h"
#include "app/LutSaveForm.h"
#include "engine/lut/LUT.h"
#include "formats/FormatRegistry.h"
#include "grading/LookDocument.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/GradingRig.h"
#include "tests/app/SavedFiles.h"

// A look saved in the window grades and exports on the command line
// (`grade --look`, `look --look`) to the very bytes the window's Save Graded
// Image and Create 3D LUT write: a reference's look, a matched one, one for
// a footage space, a previewed LUT and each snapshot. The look is set on the
// look panel and saved, graded and exported by the panels and the LUT form
// over the grading session, as the window does.

namespace {

constexpr const char* kProfile = "Cube 3D Davinci";

class LookExactnessTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    std::unique_ptr<TGradingRig> rig;

    QString Path(const QString& name) const { return dir.filePath(name); }

    void SetUp() override {
        unsetenv("OCIO");
        QDir().mkpath(Path("lib"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Path("config"));
        SaveJpegFile(Path("lib/meadow.jpeg").toStdString(), ColourfulPicture(150, 100));
        SaveImageFile(Path("frame.bmp").toStdString(), ColourfulPicture(640, 320));
        rig = std::make_unique<TGradingRig>(Path("lib"));
        dialogs.PicturesToOpen.push_back(Path("frame.bmp"));
        rig->Preview().OpenClick();
        rig->Library().List()->item(0)->setSelected(true);
        QApplication::processEvents();
    }
    void TearDown() override { rig.reset(); }

    QSlider* Bar(const char* name) const {
        auto* bar = rig->Find<QSlider>(name);
        EXPECT_NE(bar, nullptr) << name;
        return bar;
    }
    void ChooseFootage(const QString& label) {
        auto* combo = rig->Find<QComboBox>("cbxFootage");
        const int index = combo->findText(label);
        ASSERT_GE(index, 0) << label.toStdString();
        combo->setCurrentIndex(index);
        QApplication::processEvents();
    }

    QString SaveLook(const QString& name) {
        rig->LookFiles().Save(Path(name));
        return Path(name);
    }
    QByteArray WindowPicture(const QString& name) {
        dialogs.FilesToSave.push_back(Path(name));
        rig->Preview().SaveGradedClick();
        return FileBytes(Path(name));
    }
    // Create 3D LUT for a profile, at its default size and depth.
    std::string WindowLut(const QString& name, QByteArray& bytes) {
        TfrmSaveLut form(rig->Grading().LastSettings(), &rig->Host(), rig->Grading().Footage().Conversion());
        auto* formats = form.findChild<QComboBox*>("cbxOutFormat");
        formats->setCurrentIndex(formats->findText(kProfile));
        form.cbxOutFormatChange();
        form.findChild<QLineEdit*>("edtLUTFile")->setText(Path(name));
        EXPECT_NE(form.SelectedProfile(), nullptr);
        if (!form.SelectedProfile()) return std::string();
        const std::string profile = form.SelectedProfile()->Name;
        form.btnSaveClick();
        bytes = FileBytes(Path(name));
        return profile;
    }
    bool Cli(const QStringList& arguments) {
        QProcess cli;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", Path("config"));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.remove("OCIO");
        cli.setProcessEnvironment(environment);
        cli.start(OMBRANE_CLI, arguments);
        EXPECT_TRUE(cli.waitForFinished(120000));
        EXPECT_EQ(cli.exitCode(), 0) << arguments.join(' ').toStdString() << "\n"
                                     << cli.readAllStandardError().toStdString();
        return cli.exitCode() == 0;
    }
    QByteArray CliPicture(const QString& look, const QString& name) {
        Cli({"grade", "--look", look, Path("frame.bmp"), "-o", Path(name)});
        return FileBytes(Path(name));
    }
    QByteArray CliLut(const QString& look, const std::string& profile, const QString& name) {
        Cli({"look", "--look", look, "-o", Path(name), "--profile", QString::fromStdString(profile)});
        return FileBytes(Path(name));
    }
    // The picture and the LUT of the window's look now, against the command
    // line's from the look saved as `name`.
    void ExpectSameAsCli(const QString& name, bool lut = true) {
        SCOPED_TRACE(name.toStdString());
        const QString look = SaveLook(name + ".olook");
        const QByteArray picture = WindowPicture(name + "-window.png");
        ASSERT_FALSE(picture.isEmpty());
        EXPECT_TRUE(picture == CliPicture(look, name + "-cli.png"));
        if (!lut) return;
        QByteArray windowLut;
        const std::string profile = WindowLut(name + "-window.lut", windowLut);
        ASSERT_FALSE(windowLut.isEmpty());
        EXPECT_TRUE(windowLut == CliLut(look, profile, name + "-cli.lut"));
    }
};

}  // namespace

TEST_F(LookExactnessTest, AReferencesLookGradesAndExportsAsInTheWindow) {
    Bar("tbrSaturation")->setValue(140);
    Bar("tbrRed")->setValue(160);
    Bar("tbrStrength")->setValue(70);
    ExpectSameAsCli("reference");
}

TEST_F(LookExactnessTest, AMatchedLookGradesAndExportsAsInTheWindow) {
    Bar("tbrColorGain")->setValue(120);
    rig->Find<QCheckBox>("cbxMatchPreview")->setChecked(true);
    QApplication::processEvents();
    ExpectSameAsCli("matched");
}

TEST_F(LookExactnessTest, AFootageLookGradesAndExportsAsInTheWindow) {
    ChooseFootage(kSlog3Cine);
    Bar("tbrHi")->setValue(130);
    ExpectSameAsCli("footage");
}

TEST_F(LookExactnessTest, APreviewedLutGradesAsInTheWindow) {
    QFile cube(Path("swap.cube"));
    ASSERT_TRUE(cube.open(QIODevice::WriteOnly));
    cube.write("LUT_3D_SIZE 2\n");
    for (int b = 0; b < 2; ++b)
        for (int g = 0; g < 2; ++g)
            for (int r = 0; r < 2; ++r)
                cube.write(QByteArray::number(b) + " " + QByteArray::number(g) + " " + QByteArray::number(r) + "\n");
    cube.close();
    rig->Preview().PreviewLutFile(Path("swap.cube"));
    QApplication::processEvents();
    ASSERT_NE(rig->Grading().PreviewLut(), nullptr);
    // Create 3D LUT waits for a reference while a LUT file is previewed.
    ExpectSameAsCli("previewed", false);
}

TEST_F(LookExactnessTest, ALearnedLutGradesAsInTheWindow) {
    // A learned look's cube: values no short decimal gives exactly.
    auto learned = std::make_unique<TLUT>();
    learned->Kind = lkCube;
    learned->CubeSize = 9;
    for (int r = 0; r < 9; ++r)
        for (int g = 0; g < 9; ++g)
            for (int b = 0; b < 9; ++b)
                learned->Cube[r][g][b] = {std::pow(r / 8.0, 1.1) * 0.97 + 0.013, std::sqrt(g / 8.0) * 0.93,
                                          (b / 8.0) * (b / 8.0) / 3.0 + r / 77.0};
    rig->Preview().PreviewLut(std::move(learned), "learned look");
    QApplication::processEvents();
    ASSERT_NE(rig->Grading().PreviewLut(), nullptr);
    ExpectSameAsCli("learned", false);
}

TEST_F(LookExactnessTest, EachSnapshotGradesAndExportsAsInTheWindow) {
    Bar("tbrSaturation")->setValue(60);
    rig->Grading().StoreSnapshot(0);
    rig->Find<QCheckBox>("cbxMatchPreview")->setChecked(true);
    Bar("tbrViolet")->setValue(180);
    rig->Grading().StoreSnapshot(1);
    ChooseFootage(kSlog3Cine);
    rig->Grading().StoreSnapshot(2);
    Bar("tbrStrength")->setValue(30);
    rig->Grading().StoreSnapshot(3);
    Bar("tbrStrength")->setValue(100);
    const std::string all = SaveLook("all.olook").toStdString();

    for (int slot = 0; slot < 4; ++slot) {
        const QString name = QString("snapshot%1").arg(slot);
        SCOPED_TRACE(name.toStdString());
        // The snapshot's recipe alone, as the command line takes a look.
        TLookDocument document = LoadLookDocument(all);
        ASSERT_TRUE(document.Snapshots[slot].has_value());
        TLookDocument alone;
        alone.Look = std::move(*document.Snapshots[slot]);
        SaveLookDocument(alone, Path(name + ".olook").toStdString());

        rig->Grading().RecallSnapshot(slot);
        QApplication::processEvents();
        EXPECT_TRUE(WindowPicture(name + "-window.png") == CliPicture(Path(name + ".olook"), name + "-cli.png"));
        QByteArray windowLut;
        const std::string profile = WindowLut(name + "-window.lut", windowLut);
        EXPECT_TRUE(windowLut == CliLut(Path(name + ".olook"), profile, name + "-cli.lut"));
    }
}
