# Modules loaded on first use (see formats/ModuleLoader.h) lie in the folder
# modules/ of the build tree, and in lib/ombrane beside the installed
# programs. The loader takes them from these two folders by their full
# names and from nowhere else.
include(GNUInstallDirs)
set(OMBRANE_MODULE_BUILD_DIR ${CMAKE_BINARY_DIR}/modules)
file(RELATIVE_PATH OMBRANE_MODULE_INSTALL_REL ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR}/ombrane)
function(ombrane_module target)
  set_target_properties(${target} PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${OMBRANE_MODULE_BUILD_DIR})
  install(TARGETS ${target} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/ombrane)
endfunction()
