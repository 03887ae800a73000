# ombrane_discover_tests(TARGET [LOCALE_SUITES suite ...] [PROPERTIES ...]):
# the GoogleTest tests of TARGET for ctest. The tests of the suites named get
# the label locale as well: scripts/test runs them a second time in a German
# locale (decimal comma). A suite earns the label when the process it checks
# takes the user's locale (it makes a Qt application object or starts one of
# the programs) and the files, options or messages it checks hold numbers or
# words: a LUT or look document written or read, a number typed or printed, a
# message or help text. Suites that only compare pictures, streams or window
# layouts run once.
function(ombrane_discover_tests target)
  cmake_parse_arguments(D "" "" "LOCALE_SUITES;PROPERTIES" ${ARGN})
  if(NOT D_LOCALE_SUITES)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES ${D_PROPERTIES})
    return()
  endif()
  list(TRANSFORM D_LOCALE_SUITES APPEND ".*" OUTPUT_VARIABLE patterns)
  list(JOIN patterns ":" filter)
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 TEST_FILTER "${filter}"
                       PROPERTIES ${D_PROPERTIES} LABELS locale)
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 TEST_FILTER "-${filter}"
                       PROPERTIES ${D_PROPERTIES})
endfunction()
