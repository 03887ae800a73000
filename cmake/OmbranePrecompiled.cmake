# Precompiled headers: the standard library, Qt and GoogleTest are parsed
# once per family of targets instead of once per source file, which is much
# of the compile time of the window and the tests.
#
# A family is a small object library (the donor) that only builds the
# precompiled header; the targets of the family reuse it. GCC takes a
# precompiled header only when it was made with the same options (position
# independent code, optimisation, sanitizers), so each family gathers targets
# whose options match and is declared in the folder whose options they get
# (the tests are built at -O0 under the sanitizers). Should the options ever
# differ, -Winvalid-pch says so and the header is read as text: the result is
# the same, only slower.
#
# The headers change the meaning of no file, but GCC then inlines a few small
# library functions differently, so the code is equivalent, not always the
# same: the libraries of the colour arithmetic (engine, formats, ...) are
# built without, as before; they would not compile faster with one anyway.
# <iostream> is left out, since it adds a static object to every file that
# includes it.
#
# With ccache as the compiler launcher the default is OFF: ccache takes a
# precompiled header only with extra settings (sloppiness pch_defines,
# time_macros and -fpch-preprocess), and the paths recorded in the header
# would keep builds in other folders from sharing its cache.
if(CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
  set(OMBRANE_PCH_DEFAULT OFF)
else()
  set(OMBRANE_PCH_DEFAULT ON)
endif()
option(OMBRANE_PCH "Precompile the standard, Qt and GoogleTest headers" ${OMBRANE_PCH_DEFAULT})

set(OMBRANE_PCH_STD
    <algorithm> <array> <atomic> <cerrno> <charconv> <chrono> <cmath> <cstddef> <cstdint> <cstdio> <cstdlib>
    <cstring> <filesystem> <fstream> <functional> <limits> <map> <memory> <mutex> <new> <optional> <set>
    <sstream> <stdexcept> <string> <string_view> <system_error> <thread> <utility> <vector>)
set(OMBRANE_PCH_GTEST <gtest/gtest.h>)
set(OMBRANE_PCH_QT_GUI
    <QBuffer> <QByteArray> <QColor> <QCoreApplication> <QDir> <QFile> <QFileInfo> <QImage> <QImageReader>
    <QImageWriter> <QPainter> <QSettings> <QString> <QStringList> <QTemporaryDir>)
set(OMBRANE_PCH_QT_WIDGETS
    <QAction> <QApplication> <QCheckBox> <QComboBox> <QDialog> <QHBoxLayout> <QKeyEvent> <QLabel> <QLineEdit>
    <QListWidget> <QMainWindow> <QMenu> <QPushButton> <QScreen> <QSlider> <QStyle> <QTimer> <QToolButton>
    <QVBoxLayout> <QWidget>)

# ombrane_pch_family(NAME LIBS ... HEADERS ...): the donor ombrane_pch_NAME,
# compiled with the usage requirements of LIBS (imported targets only, so that
# the header does not wait for the project's own libraries).
function(ombrane_pch_family name)
  if(NOT OMBRANE_PCH)
    return()
  endif()
  cmake_parse_arguments(P "" "" "LIBS;HEADERS" ${ARGN})
  set(source ${CMAKE_CURRENT_BINARY_DIR}/ombrane_pch_${name}.cpp)
  if(NOT EXISTS ${source})
    file(WRITE ${source} "// Only the precompiled header of this family is built from here.\n")
  endif()
  add_library(ombrane_pch_${name} OBJECT ${source})
  target_link_libraries(ombrane_pch_${name} PRIVATE ${P_LIBS})
  target_precompile_headers(ombrane_pch_${name} PRIVATE ${P_HEADERS})
endfunction()

# ombrane_pch_use(NAME TARGETS ...): the targets that exist reuse the family's
# header.
function(ombrane_pch_use name)
  if(NOT OMBRANE_PCH)
    return()
  endif()
  foreach(target ${ARGN})
    if(TARGET ${target})
      set_target_properties(${target} PROPERTIES PRECOMPILE_HEADERS_REUSE_FROM ombrane_pch_${name})
    endif()
  endforeach()
endfunction()

# ombrane_pch_own(TARGET HEADERS ...): a target whose options no other target
# shares gets a precompiled header of its own.
function(ombrane_pch_own target)
  if(NOT OMBRANE_PCH OR NOT TARGET ${target})
    return()
  endif()
  cmake_parse_arguments(P "" "" "HEADERS" ${ARGN})
  target_precompile_headers(${target} PRIVATE ${P_HEADERS})
endfunction()
