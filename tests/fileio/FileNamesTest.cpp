#include <gtest/gtest.h>

#include "fileio/FileNames.h"

// The extension is the file's own, never a folder's; a name ending in a dot
// has the dot alone, and a hidden file's name is its extension.
TEST(FileNamesTest, ExtensionIsTheFilesOwnWithItsDot) {
    EXPECT_EQ(FileExtension("/a.b/look.3DL"), ".3DL");
    EXPECT_EQ(FileExtension("/a.b/look"), "");
    EXPECT_EQ(FileExtension("clip.tar.GZ"), ".GZ");
    EXPECT_EQ(FileExtension("photo."), ".");
    EXPECT_EQ(FileExtension("/x/.png"), ".png");
    EXPECT_EQ(FileExtension("look"), "");
    EXPECT_EQ(FileExtension(""), "");
}
