#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "grading/UserSettings.h"

// A settings file as the program has always written it, in a folder of the
// test's own: every key the store names reads its value from it, so that the
// users' settings are still read after the keys were gathered in one place.
TEST(UserSettingsTest, KeysReadTheNamesUsersSettingsHold) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
    ASSERT_TRUE(QDir(folder.path()).mkpath("tarnwerk"));
    QFile file(folder.path() + "/tarnwerk/Ombrane.conf");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "[General]\n"
        "lib=v1\nocio-config=v2\nfootage=v3\ndisplay-profile=v4\nsplitPosition=v5\n"
        "[layout]\ngeometry=v6\nlibraryArea=v7\nlibraryShown=v8\nlibraryGrid=v9\nlibraryExtent=v10\n"
        "[view]\ndarkSurround=v11\n"
        "[scopes]\nkind=v12\nparade=v13\nvisible=v14\n"
        "[looks]\nrecent=v15\n"
        "[session]\nframe=v16\nzoom=v17\n"
        "[lut-export]\nprofile=v18\n"
        "[folders]\npreview-picture=v19\nreference=v20\nlut-preview=v21\nlut-export=v22\n"
        "graded-picture=v23\nlearn-pair=v24\nlook=v25\n");
    file.close();

    const QSettings settings = UserSettings();
    EXPECT_EQ(settings.fileName(), folder.path() + "/tarnwerk/Ombrane.conf");
    const char* const keys[] = {kLibraryFolderKey, kOcioConfigKey,      kFootageKey,      kDisplayProfileKey,
                                kSplitPositionKey, kGeometryKey,        kLibraryAreaKey,  kLibraryShownKey,
                                kLibraryGridKey,   kLibraryExtentKey,   kDarkSurroundKey, kScopesKindKey,
                                kScopesParadeKey,  kScopesVisibleKey,   kRecentLooksKey,  kSessionFrameKey,
                                kSessionZoomKey,   kLutExportProfileKey};
    int value = 0;
    for (const char* key : keys) EXPECT_EQ(settings.value(key).toString(), "v" + QString::number(++value)) << key;
    ASSERT_EQ(kDialogFolderKeyCount, 7);
    for (const char* key : kDialogFolderKeys)
        EXPECT_EQ(settings.value(key).toString(), "v" + QString::number(++value)) << key;
}
