#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "app/MainForm.h"
#include "app/SingleInstance.h"
#include "app/StatusLine.h"
#include "app/WindowCommandLine.h"
#include "app/WindowStart.h"
#include "tests/app/FakeDialogs.h"

// How the window starts: the file named on its command line, a second start
// handing its file to the running window, and the socket between them. The
// tests that build the window build it as the program starts it, since what
// they check is that start and what reaches its session.
namespace {

// Each test gets its own runtime folder, so its window's socket is its own;
// started programs get it too, and a home of their own for their settings.
class WindowStartTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    QByteArray savedState = qgetenv("XDG_STATE_HOME");
    TFakeDialogs dialogs;

    void SetUp() override {
        qputenv("XDG_RUNTIME_DIR", dir.filePath("run").toLocal8Bit());
        // The session each start restores is the test's own.
        qputenv("XDG_STATE_HOME", dir.filePath("state").toLocal8Bit());
        QDir().mkpath(dir.filePath("run"));
        QFile::setPermissions(dir.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir().mkpath(dir.filePath("home"));
        QDir().mkpath(dir.filePath("lib"));
    }
    void TearDown() override {
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
        qputenv("XDG_STATE_HOME", savedState);
    }

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
        // Its library is the test's own, never the build tree's.
        QDir().mkpath(dir.filePath("home/.config/tarnwerk"));
        QFile settings(dir.filePath("home/.config/tarnwerk/Ombrane.conf"));
        if (!settings.exists() && settings.open(QIODevice::WriteOnly))
            settings.write("[General]\nlib=" + QFile::encodeName(dir.filePath("lib")) + "\n");
        program.setProgram(OMBRANE_WINDOW);
        program.setArguments(arguments);
    }
    // Runs `ombrane ARGUMENTS` while this process's events go on, so that a
    // window of this test can answer it.
    int Run(const QStringList& arguments, const QString& folder = QString(), QByteArray* errors = nullptr) const {
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
        if (errors) *errors = program.readAllStandardError();
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
        EXPECT_EQ(window->Grading().PreviewFile(), picture.toStdString());
        EXPECT_FALSE(window->Grading().Preview().Empty());
        EXPECT_EQ(window->Grading().PreviewLut(), nullptr);
        // It listens for later starts.
        EXPECT_TRUE(QFileInfo(TSingleInstance::ServerName()).exists());
        EXPECT_TRUE(TSingleInstance::ServerName().startsWith(dir.filePath("run") + "/"));
    }
    {
        TSingleInstance instance;
        const auto window = Start(Lut("swap.cube"), instance);
        ASSERT_NE(window, nullptr);
        ASSERT_NE(window->Grading().PreviewLut(), nullptr);
        EXPECT_EQ(window->Grading().PreviewLutName(), "swap.cube");
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
        EXPECT_TRUE(window->Grading().PreviewFile().empty());
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
    EXPECT_EQ(window->Grading().PreviewFile(), second.toStdString());
    EXPECT_EQ(window->Grading().Preview().Row(0)[2], 90);

    EXPECT_EQ(Run({Lut("handed.cube")}), 0);
    EXPECT_EQ(window->Grading().PreviewLutName(), "handed.cube");
    EXPECT_EQ(window->Grading().PreviewFile(), second.toStdString());

    // Without a file the window only comes forward.
    EXPECT_EQ(Run({}), 0);
    ASSERT_EQ(handed.size(), 3);
    EXPECT_TRUE(handed[2][0].toString().isEmpty());
    EXPECT_EQ(window->Grading().PreviewFile(), second.toStdString());
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

namespace {

// Error boxes that, like real message boxes, handle the program's events
// while they are open; records how many were open at once at most.
class TModalErrorBoxes : public TFakeDialogs {
public:
    int Open = 0;
    int MostOpen = 0;

    void ShowError(QWidget* parent, const QString& text) override {
        TFakeDialogs::ShowError(parent, text);
        MostOpen = std::max(MostOpen, ++Open);
        for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
        --Open;
    }
    // How many files the boxes reported, counting each summary's number.
    int FilesReported() const {
        int files = 0;
        for (const QString& error : Errors) {
            const QString count = error.section(' ', 0, 0);
            files += error.contains(" files could not be opened:") ? count.toInt() : 1;
        }
        return files;
    }
};

}  // namespace

// A later start whose file the window cannot open says why on its error
// stream, naming the file, and ends with status 1; the window shows it too.
TEST_F(WindowStartTest, ASecondStartSaysWhenTheWindowCannotOpenItsFile) {
    TSingleInstance instance;
    const auto window = Start(QString(), instance);
    ASSERT_NE(window, nullptr);
    const QString gone = dir.filePath("gone.png");
    QByteArray errors;
    EXPECT_EQ(Run({gone}, QString(), &errors), 1);
    EXPECT_TRUE(errors.startsWith("ombrane: ")) << errors.toStdString();
    EXPECT_TRUE(errors.contains("\"" + QFile::encodeName(gone) + "\": No such file or directory\n"))
        << errors.toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialogs.Errors.isEmpty(); }, 10000));
    ASSERT_EQ(dialogs.Errors.size(), 1);
    EXPECT_TRUE(dialogs.Errors[0].contains("\"" + gone + "\"")) << dialogs.Errors[0].toStdString();
    // What is neither a picture nor a LUT file, the same.
    const QString text = dir.filePath("notes.txt");
    QFile(text).open(QIODevice::WriteOnly);
    EXPECT_EQ(Run({text}, QString(), &errors), 1);
    EXPECT_TRUE(errors.contains("ombrane: " + QFile::encodeName(text) + ": is neither a picture nor a LUT file\n"))
        << errors.toStdString();

    EXPECT_EQ(Run({Picture("fine.png", qRgb(1, 2, 3))}, QString(), &errors), 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.toStdString();
    EXPECT_EQ(window->Grading().PreviewFile(), dir.filePath("fine.png").toStdString());
}

// Many files handed over at once that cannot be opened: their errors never
// open one message box inside another, every one is reported, and every
// sender hears why its file was not opened.
TEST_F(WindowStartTest, ManyFilesThatCannotBeOpenedAreReportedWithoutNestingBoxes) {
    TSingleInstance instance;
    const auto window = Start(QString(), instance);
    ASSERT_NE(window, nullptr);
    TModalErrorBoxes boxes;
    // In waves that the socket's queue of connections holds, each sent
    // whole before the window reads any of it.
    constexpr int kWave = 20;
    constexpr int kSenders = 15 * kWave;
    const auto missing = [&](int i) {
        return QFile::encodeName(dir.filePath(QStringLiteral("missing-%1.png").arg(i)));
    };
    std::vector<std::unique_ptr<QLocalSocket>> senders;
    std::vector<QByteArray> answers(kSenders);
    const auto answered = [&](int end) {
        bool all = true;
        for (int i = 0; i < end; ++i) {
            if (senders[i]->bytesAvailable() > 0) answers[i] += senders[i]->readAll();
            all = all && (answers[i].count('\0') == 1 || senders[i]->state() == QLocalSocket::UnconnectedState);
        }
        return all;
    };
    for (int wave = 0; wave < kSenders; wave += kWave) {
        for (int i = wave; i < wave + kWave; ++i) {
            senders.push_back(std::make_unique<QLocalSocket>());
            senders.back()->connectToServer(TSingleInstance::ServerName());
            ASSERT_TRUE(senders.back()->waitForConnected(10000)) << i;
            senders.back()->write(missing(i) + '\0');
            ASSERT_TRUE(senders.back()->waitForBytesWritten(10000)) << i;
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return answered(wave + kWave); }, 60000)) << wave;
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return boxes.FilesReported() == kSenders; }, 60000)) << boxes.FilesReported();
    EXPECT_EQ(boxes.MostOpen, 1);
    EXPECT_LT(boxes.Errors.size(), kSenders);
    for (int i = 0; i < kSenders; i += 37) {
        EXPECT_EQ(answers[i].count('\0'), 1) << i;
        EXPECT_TRUE(answers[i].startsWith("1")) << i;
        EXPECT_TRUE(answers[i].contains("\"" + missing(i) + "\"")) << answers[i].toStdString();
    }
    EXPECT_TRUE(window->isVisible());
}

// Without a runtime folder the socket lies in a folder the program makes for
// this user alone in the temporary folder. Where that folder is another's
// or open to others, no socket is used: each start opens its own window.
TEST_F(WindowStartTest, TheSocketLiesOnlyInAFolderOfThisUserAlone) {
    const QByteArray savedTemp = qgetenv("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    const QString temp = dir.filePath("tmp");
    QDir().mkpath(temp);
    ASSERT_EQ(chmod(QFile::encodeName(temp).constData(), 01777), 0);
    qputenv("TMPDIR", QFile::encodeName(temp));
    const QString own = temp + QStringLiteral("/ombrane-%1").arg(getuid());
    const QString name = TSingleInstance::ServerName();
    EXPECT_EQ(QFileInfo(name).absolutePath(), own);
    struct stat st {};
    ASSERT_EQ(lstat(QFile::encodeName(own).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, getuid());

    // A folder of that name that others may enter: a socket planted in it
    // is never handed a file.
    ASSERT_EQ(chmod(QFile::encodeName(own).constData(), 0777), 0);
    EXPECT_TRUE(TSingleInstance::ServerName().isEmpty());
    QLocalServer planted;
    planted.setSocketOptions(QLocalServer::WorldAccessOption);
    ASSERT_TRUE(planted.listen(name));
    {
        TSingleInstance instance;
        const auto window = Start(Picture("mine.png", qRgb(5, 6, 7)), instance);
        EXPECT_NE(window, nullptr);
        EXPECT_FALSE(instance.Listen());
    }
    QApplication::processEvents();
    EXPECT_FALSE(planted.hasPendingConnections());
    qputenv("TMPDIR", savedTemp);
    if (savedTemp.isEmpty()) qunsetenv("TMPDIR");
}

// A socket in the runtime folder whose listener runs as another user is
// never handed the file.
TEST_F(WindowStartTest, AFileIsHandedOnlyToAWindowOfThisUser) {
    if (geteuid() != 0) GTEST_SKIP() << "starting a listener as another user needs root";
    const QByteArray socketName = QFile::encodeName(TSingleInstance::ServerName());
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Listens as "nobody"; ends with 3 when it is sent anything.
        const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketName.constData(), sizeof address.sun_path - 1);
        if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || setgid(65534) != 0 ||
            setuid(65534) != 0 || listen(listener, 4) != 0)
            _exit(2);
        (void)!write(ready[1], "r", 1);
        const int peer = accept(listener, nullptr, nullptr);
        char byte = 0;
        _exit(peer >= 0 && read(peer, &byte, 1) > 0 ? 3 : 0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    close(ready[1]);
    TSingleInstance instance;
    EXPECT_FALSE(instance.SendToRunning(Picture("mine.png", qRgb(5, 6, 7)), 5000));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Settings that are a named pipe keep the window neither from starting nor
// from listening; it says why it starts with the defaults and leaves the
// pipe as it is. (A copy of the program runs, outside the build tree, so
// that the default library is the test's.)
TEST_F(WindowStartTest, SettingsThatAreAPipeDoNotStopTheWindow) {
    const QString program = dir.filePath("ombrane");
    ASSERT_TRUE(QFile::copy(OMBRANE_WINDOW, program));
    QDir().mkpath(dir.filePath("home/.config/tarnwerk"));
    const QString pipe = dir.filePath("home/.config/tarnwerk/Ombrane.conf");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QProcess first;
    Prepare(first, {Picture("first.png", qRgb(1, 2, 3))});
    first.setProgram(program);
    first.start();
    ASSERT_TRUE(first.waitForStarted());
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(TSingleInstance::ServerName()); }, 30000));
    first.kill();
    first.waitForFinished();
    EXPECT_TRUE(first.readAllStandardError().contains("ombrane: warning: Cannot read file \"" +
                                                      QFile::encodeName(pipe) +
                                                      "\": it is not a regular file. The default settings apply.\n"));
    struct stat st {};
    ASSERT_EQ(lstat(QFile::encodeName(pipe).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// A window the tests start from the build tree keeps its library where the
// test's settings say, never beside the program.
TEST_F(WindowStartTest, StartedWindowsLeaveTheBuildTreesLibraryAlone) {
    const QString besideProgram = QFileInfo(OMBRANE_WINDOW).dir().filePath("lib");
    if (QFileInfo::exists(besideProgram)) GTEST_SKIP() << besideProgram.toStdString() << " exists already";
    QProcess first;
    Prepare(first, {});
    first.start();
    ASSERT_TRUE(first.waitForStarted());
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(TSingleInstance::ServerName()); }, 30000));
    first.kill();
    first.waitForFinished();
    EXPECT_FALSE(QFileInfo::exists(besideProgram));
}
