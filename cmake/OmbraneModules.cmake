# Modules loaded on first use (see fileio/ModuleLoader.h) lie in the folder
# modules/ of the build tree, and in lib/ombrane beside the installed
# programs (lib/<multiarch>/ombrane where the system has multiarch folders,
# as Debian keeps a package's private modules: no ldconfig is involved).
# The loader takes them from these two folders by their full names and from
# nowhere else.
#
# With OMBRANE_LINKED_MODULES the modules' code is linked into the programs
# instead, for builds that want one executable (the fuzz targets).
include(GNUInstallDirs)
set(OMBRANE_MODULE_BUILD_DIR ${CMAKE_BINARY_DIR}/modules)
set(OMBRANE_MODULE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/ombrane)
if(CMAKE_LIBRARY_ARCHITECTURE AND CMAKE_INSTALL_LIBDIR STREQUAL "lib")
  set(OMBRANE_MODULE_INSTALL_DIR lib/${CMAKE_LIBRARY_ARCHITECTURE}/ombrane)
endif()
file(RELATIVE_PATH OMBRANE_MODULE_INSTALL_REL ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${OMBRANE_MODULE_INSTALL_DIR})
if(OMBRANE_LINKED_MODULES)
  add_compile_definitions(OMBRANE_LINKED_MODULES)
endif()

# ombrane_module(NAME HOST SOURCES ... [COPIES ...] LIBS ...): the module NAME
# (file NAME.so) of the static library HOST, built from SOURCES and its own
# copies of the host's code it needs (COPIES), linking LIBS.
function(ombrane_module name host)
  cmake_parse_arguments(M "" "" "SOURCES;COPIES;LIBS" ${ARGN})
  if(OMBRANE_LINKED_MODULES)
    target_sources(${host} PRIVATE ${M_SOURCES})
    target_link_libraries(${host} PRIVATE ${M_LIBS})
    return()
  endif()
  add_library(${name} MODULE ${M_SOURCES} ${M_COPIES})
  target_include_directories(${name} PRIVATE ${OMBRANE_ROOT})
  target_link_libraries(${name} PRIVATE ${M_LIBS})
  set_target_properties(${name} PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${OMBRANE_MODULE_BUILD_DIR})
  install(TARGETS ${name} LIBRARY DESTINATION ${OMBRANE_MODULE_INSTALL_DIR})
  # The package holds every module (packaging/CMakeLists.txt).
  set_property(GLOBAL APPEND PROPERTY OMBRANE_INSTALLED_MODULES ${name})
  add_dependencies(${host} ${name})
endfunction()
