#pragma once
#include <QSettings>
#include <iterator>

// The program's per-user settings: the one store both front ends read
// (~/.config/tarnwerk/Ombrane.conf), and the name of every key kept in it.
// The names are those users' settings files hold: a renamed key would lose
// what they saved.

// The store's organisation and application names, also the program's own.
inline constexpr char kSettingsOrganisation[] = "tarnwerk";
inline constexpr char kSettingsApplication[] = "Ombrane";

// The reference library's folder (only read: a user's choice).
inline constexpr char kLibraryFolderKey[] = "lib";
// The OpenColorIO config the footage spaces come from, and the space chosen.
inline constexpr char kOcioConfigKey[] = "ocio-config";
inline constexpr char kFootageKey[] = "footage";
// The display profile: "none", "system" or a profile file.
inline constexpr char kDisplayProfileKey[] = "display-profile";
// The split view's divider position (a share of the picture's width).
inline constexpr char kSplitPositionKey[] = "splitPosition";
// The window's place and View > Dark Surround.
inline constexpr char kGeometryKey[] = "layout/geometry";
inline constexpr char kDarkSurroundKey[] = "view/darkSurround";
// The library's dock: its side, shown or not, grid or strip, and the grid's extent.
inline constexpr char kLibraryAreaKey[] = "layout/libraryArea";
inline constexpr char kLibraryShownKey[] = "layout/libraryShown";
inline constexpr char kLibraryGridKey[] = "layout/libraryGrid";
inline constexpr char kLibraryExtentKey[] = "layout/libraryExtent";
// The scopes panel: the scope shown, the parade switch, shown or not.
inline constexpr char kScopesKindKey[] = "scopes/kind";
inline constexpr char kScopesParadeKey[] = "scopes/parade";
inline constexpr char kScopesVisibleKey[] = "scopes/visible";
// The look documents opened last.
inline constexpr char kRecentLooksKey[] = "looks/recent";
// The session's frame file and the viewer's zoom in percent (0 for fitted).
inline constexpr char kSessionFrameKey[] = "session/frame";
inline constexpr char kSessionZoomKey[] = "session/zoom";
// The profile Create 3D LUT offered last.
inline constexpr char kLutExportProfileKey[] = "lut-export/profile";
// The folder each kind of file dialog opened last, in the order of the
// window's kinds of files (preview picture, reference, LUT preview, LUT
// export, graded picture, learning pair, look document).
inline constexpr const char* kDialogFolderKeys[] = {
    "folders/preview-picture", "folders/reference",  "folders/lut-preview", "folders/lut-export",
    "folders/graded-picture",  "folders/learn-pair", "folders/look"};
inline constexpr int kDialogFolderKeyCount = static_cast<int>(std::size(kDialogFolderKeys));

// The store, opened for reading and writing.
QSettings UserSettings();

// Gives the running program the store's names, so that the folders Qt keeps
// per program (data, state) are the store's too.
void NameProgramAsSettings();
