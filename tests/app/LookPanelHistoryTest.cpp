#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>

#include "app/LookPanel.h"
#include "engine/picture/Thumbnail.h"
#include "formats/LookExport.h"
#include "formats/LutProfiles.h"
#include "grading/GradingSession.h"
#include "tests/app/FakeDialogs.h"

// The look panel over a session that grades a frame with a reference's
// look: the steps its controls make in the session's history.

namespace {

class LookPanelHistoryTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TGradingSession state;
    TLookPanel panel{state, nullptr};
    TImage cell = MakeThumbnailCell(ColourfulPicture(150, 100));
    int exports = 0;

    void SetUp() override {
        state.SetCellSource([this](const QString&) { return &cell; });
        QObject::connect(&state, &TGradingSession::LookChanged, &state, &TGradingSession::Regrade);
        state.SetPreview(ColourfulPicture(640, 320));
        state.SetReference("meadow.jpeg");
        state.Regrade();
        QApplication::processEvents();
    }
    template <typename T>
    T* Find(const char* name) const {
        return panel.findChild<T*>(name);
    }
    QSlider* Bar(const char* name) const { return Find<QSlider>(name); }
    // The look as Create 3D LUT writes it.
    QByteArray Export() {
        const TLutOutputProfile* profile = FindOutputProfile("Cube 3D Davinci");
        EXPECT_NE(profile, nullptr);
        const QString name = dir.filePath(QString("look%1.cube").arg(++exports));
        ExportLook(state.LastSettings(), *profile, 33, 0, name.toStdString());
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

}  // namespace

// One drag of a slider is one step, whatever it passed through; so is a
// click of General's Defaults, whatever it puts back.
TEST_F(LookPanelHistoryTest, ADragAndADefaultsClickAreOneStepEach) {
    QSlider* gain = Bar("tbrColorGain");
    const QByteArray start = Export();
    gain->setSliderDown(true);
    for (int position = 101; position <= 160; position += 7) {
        gain->setValue(position);
        QApplication::processEvents();
    }
    gain->setSliderDown(false);
    QApplication::processEvents();
    const int steps = state.History().UndoCount();
    state.Undo();
    EXPECT_EQ(gain->value(), 100);
    EXPECT_EQ(Export(), start);
    EXPECT_EQ(state.History().UndoCount(), steps - 1);

    gain->setValue(150);
    QApplication::processEvents();
    Bar("tbrStrength")->setValue(40);
    QApplication::processEvents();
    Find<QCheckBox>("cbxLevels")->setChecked(false);
    QApplication::processEvents();
    const QByteArray changed = Export();
    Find<QPushButton>("sbnGeneralDefaults")->click();
    QApplication::processEvents();
    EXPECT_EQ(Export(), start);
    state.Undo();
    EXPECT_EQ(gain->value(), 150);
    EXPECT_EQ(Bar("tbrStrength")->value(), 40);
    EXPECT_FALSE(Find<QCheckBox>("cbxLevels")->isChecked());
    EXPECT_EQ(Export(), changed);
}
