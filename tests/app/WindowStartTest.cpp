#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/MainForm.h"
#include "app/SingleInstance.h"
#include "app/StatusLine.h"
#include "app/WindowCommandLine.h"
#include "app/WindowStart.h"
#include "tests/app/FakeDialogs.h"

namespace {

// Each test gets its own runtime folder, so its window's socket is its own;
// started programs get it too, and a home of their own for their settings.
class WindowStartTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    TFakeDialogs dialogs;

    void SetUp() override {
        qputenv("XDG_RUNTIME_DIR", dir.filePath("run").toLocal8Bit());
        QDir().mkpath(dir.filePath("run"));
        QFile::setPermissions(dir.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir().mkpath(dir.filePath("home"));
        QDir().mkpath(dir.filePath("lib"));
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", savedRuntime); }

    QString Picture(const QString& name, QRgb colour) const {
        QImage image(64, 32, QImage::Format_RGB32);
        image.fill(colour);
        const QString file = dir.filePath(name);
        EXPECT_TRUE(image.save(file));
        return file;
    }
    // A 2-point cube that swaps red and blue.
    QString Lut(const QString& name) const {
        const QString file = dir.filePath(name);
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("LUT_3D_SIZE 2\n");
        for (int b = 0; b < 2; ++b)
            for (int g = 0; g < 2; ++g)
                for (int r = 0; r < 2; ++r)
                    out.write(QByteArray::number(b) + " " + QByteArray::number(g) + " " + QByteArray::number(r) + "\n");
        return file;
    }

    std::unique_ptr<TfrmMain> Start(const QString& file, TSingleInstance& instance) {
        auto window = StartWindow(file, instance, dir.filePath("lib").toStdString());
        QApplication::processEvents();
        return window;
    }

    void Prepare(QProcess& program, const QStringList& arguments) const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", dir.filePath("run"));
        environment.insert("HOME", dir.filePath("home"));
        environment.insert("XDG_CONFIG_HOME", dir.filePath("home/.config"));
        environment.insert("XDG_DATA_HOME", dir.filePath("home/.local/share"));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(environment);
        program.setProgram(OMBRANE_WINDOW);
        program.setArguments(arguments);
    }
    // Runs `ombrane ARGUMENTS` while this process's events go on, so that a
    // window of this test can answer it.
    int Run(const QStringList& arguments, const QString& folder = QString()) const {
        QProcess program;
        Prepare(program, arguments);
        if (!folder.isEmpty()) program.setWorkingDirectory(folder);
        program.start();
        EXPECT_TRUE(program.waitForStarted());
        const bool ended = QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, 30000);
        if (!ended) {
            program.kill();
            program.waitForFinished();
            ADD_FAILURE() << "ombrane " << arguments.join(' ').toStdString() << " did not end";
            return -1;
        }
        return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    }
};

}  // namespace

TEST(WindowCommandLineTest, TakesOneFileAndTheHelpWhateverElseIsWrong) {
    const auto file = ParseWindowCommandLine({"shot.png"});
    EXPECT_EQ(file.File, "shot.png");
    EXPECT_TRUE(file.Error.isEmpty());
    EXPECT_FALSE(file.Help);

    const auto dashed = ParseWindowCommandLine({"--", "-odd name.cube"});
    EXPECT_EQ(dashed.File, "-odd name.cube");
    EXPECT_TRUE(dashed.Error.isEmpty());

    const auto unknown = ParseWindowCommandLine({"--bogus", "a.png"});
    EXPECT_EQ(unknown.Error, "unknown option \"--bogus\"");
    EXPECT_EQ(unknown.File, "a.png");
    EXPECT_TRUE(ParseWindowCommandLine({"--bogus", "-h"}).Help);
    EXPECT_TRUE(ParseWindowCommandLine({"a.png", "--version"}).Version);
    EXPECT_FALSE(ParseWindowCommandLine({"--", "--help"}).Help);

    EXPECT_EQ(ParseWindowCommandLine({"a.png", "b.png"}).Error, "one FILE at most (\"b.png\" is a second)");
}

TEST_F(WindowStartTest, OpensAPictureAsThePreviewAndALutAsLutPreview) {
    const QString picture = Picture("shot.png", qRgb(200, 40, 10));
    {
        TSingleInstance instance;
        const auto window = Start(picture, instance);
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->PreviewFileName(), picture.toStdString());
        EXPECT_FALSE(window->PreviewBitmap().Empty());
        EXPECT_EQ(window->PreviewLut(), nullptr);
        // It listens for later starts.
        EXPECT_TRUE(QFileInfo(TSingleInstance::ServerName()).exists());
        EXPECT_TRUE(TSingleInstance::ServerName().startsWith(dir.filePath("run") + "/"));
    }
    {
        TSingleInstance instance;
        const auto window = Start(Lut("swap.cube"), instance);
        ASSERT_NE(window, nullptr);
        ASSERT_NE(window->PreviewLut(), nullptr);
        EXPECT_EQ(window->PreviewLutName(), "swap.cube");
        EXPECT_TRUE(window->StatusLine()->Text().contains("LUT preview: swap.cube"));
    }
    EXPECT_TRUE(dialogs.Errors.isEmpty()) << dialogs.Errors.join("\n").toStdString();
    // A file that is no picture or LUT, and one that is missing: the window
    // opens all the same and says why the file was not used.
    QFile text(dir.filePath("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("hello\n");
    text.close();
    for (const QString& bad : {text.fileName(), dir.filePath("gone.cube")}) {
        dialogs.Errors.clear();
        TSingleInstance instance;
        const auto window = Start(bad, instance);
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->PreviewFileName().empty());
        ASSERT_EQ(dialogs.Errors.size(), 1);
        EXPECT_TRUE(dialogs.Errors[0].startsWith(bad + ": ")) << dialogs.Errors[0].toStdString();
    }
}

TEST_F(WindowStartTest, ASecondStartHandsItsFileToTheRunningWindowAndEnds) {
    TSingleInstance instance;
    const auto window = Start(Picture("first.png", qRgb(10, 20, 30)), instance);
    ASSERT_NE(window, nullptr);
    QSignalSpy handed(&instance, &TSingleInstance::FileReceived);

    // A relative name is taken in the second start's working folder.
    const QString second = Picture("second.png", qRgb(90, 80, 70));
    EXPECT_EQ(Run({"second.png"}, dir.path()), 0);
    EXPECT_EQ(window->PreviewFileName(), second.toStdString());
    EXPECT_EQ(window->PreviewBitmap().Row(0)[2], 90);

    EXPECT_EQ(Run({Lut("handed.cube")}), 0);
    EXPECT_EQ(window->PreviewLutName(), "handed.cube");
    EXPECT_EQ(window->PreviewFileName(), second.toStdString());

    // Without a file the window only comes forward.
    EXPECT_EQ(Run({}), 0);
    ASSERT_EQ(handed.size(), 3);
    EXPECT_TRUE(handed[2][0].toString().isEmpty());
    EXPECT_EQ(window->PreviewFileName(), second.toStdString());
    EXPECT_TRUE(dialogs.Errors.isEmpty()) << dialogs.Errors.join("\n").toStdString();
}

TEST_F(WindowStartTest, TheProgramListensAndLeftOverSocketsAndFloodsDoNotStopIt) {
    // The real program as the first start: a second real start hands over
    // and ends while the first goes on.
    QProcess first;
    Prepare(first, {Picture("first.png", qRgb(1, 2, 3))});
    first.start();
    ASSERT_TRUE(first.waitForStarted());
    const QString socket = TSingleInstance::ServerName();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 30000));
    EXPECT_EQ(Run({Picture("second.png", qRgb(4, 5, 6))}), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();

    // Its socket is left behind; the next window takes the name over.
    ASSERT_TRUE(QFileInfo::exists(socket));
    TSingleInstance instance;
    EXPECT_FALSE(instance.SendToRunning(QString(), 1000));
    ASSERT_TRUE(instance.Listen()) << instance.ErrorText().toStdString();
    QSignalSpy handed(&instance, &TSingleInstance::FileReceived);

    // A sender that never ends its message is cut off at a bound.
    QLocalSocket flood;
    flood.connectToServer(socket);
    ASSERT_TRUE(QTest::qWaitFor([&] { return flood.state() == QLocalSocket::ConnectedState; }, 5000));
    const QByteArray block(16 * 1024, 'x');
    for (int i = 0; i < 8 && flood.state() == QLocalSocket::ConnectedState; ++i) {
        flood.write(block);
        (void)QTest::qWaitFor(
            [&] { return flood.bytesToWrite() == 0 || flood.state() != QLocalSocket::ConnectedState; }, 5000);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return flood.state() == QLocalSocket::UnconnectedState; }, 5000));
    EXPECT_EQ(handed.size(), 0);

    // The window still answers a real start.
    const QString third = Picture("third.png", qRgb(7, 8, 9));
    EXPECT_EQ(Run({third}), 0);
    ASSERT_EQ(handed.size(), 1);
    EXPECT_EQ(handed[0][0].toString(), third);
}

TEST_F(WindowStartTest, HelpNeedsNoDisplayAndABadCommandLineEndsWithStatus2) {
    QProcess program;
    Prepare(program, {"--help"});
    QProcessEnvironment environment = program.processEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    program.setProcessEnvironment(environment);
    program.start();
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(program.readAllStandardOutput().toStdString(), std::string(kWindowHelp));

    Prepare(program, {"--bogus"});
    program.start();
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_EQ(program.readAllStandardError().toStdString(),
              "ombrane: unknown option \"--bogus\"; see 'ombrane --help'\n");
}
