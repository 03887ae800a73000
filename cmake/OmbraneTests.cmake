# ombrane_discover_tests(TARGET [PROCESSES n] [COST seconds]
#                        [LOCALE_SUITES suite ... | LOCALE_ALL] [PROPERTIES ...]):
# the GoogleTest tests of TARGET for ctest. The tests of the suites named (or
# all, LOCALE_ALL) get the label locale as well: scripts/test runs them a
# second time in a German locale (decimal comma). A suite earns the label when
# the process it checks takes the user's locale (it makes a Qt application
# object or starts one of the programs) and the files, options or messages it
# checks hold numbers or words: a LUT or look document written or read, a
# number typed or printed, a message or help text. Suites that only compare
# pictures, streams or window layouts run once.
#
# Each test is a ctest test of its own, in a process of its own. With
# OMBRANE_WHOLE_TEST_PROGRAMS the program runs instead in PROCESSES parts
# (GoogleTest's shards, default 1), each a ctest test named TARGET/k that runs
# its share of the tests one after another in one process, and the locale
# suites again in a German locale as TARGET.de/k (label locale): under the
# sanitizers a process costs a quarter of a second to start and to check for
# leaks at its end, and the parts keep both cores busy. COST, about the
# seconds the whole program takes there, lets ctest start the longest parts
# first. A failing part names its failing tests in its output.
option(OMBRANE_WHOLE_TEST_PROGRAMS "Run each test program in a few processes, not one per test" OFF)

set(OMBRANE_GERMAN_LOCALE "LC_ALL=de_DE.UTF-8")

function(ombrane_discover_tests target)
  cmake_parse_arguments(D "LOCALE_ALL" "PROCESSES;COST" "LOCALE_SUITES;PROPERTIES" ${ARGN})
  if(D_LOCALE_ALL)
    set(filter "*")
  elseif(D_LOCALE_SUITES)
    list(TRANSFORM D_LOCALE_SUITES APPEND ".*" OUTPUT_VARIABLE patterns)
    list(JOIN patterns ":" filter)
  endif()
  if(OMBRANE_WHOLE_TEST_PROGRAMS)
    if(NOT D_PROCESSES)
      set(D_PROCESSES 1)
    endif()
    if(NOT D_COST)
      set(D_COST 10)
    endif()
    math(EXPR cost "${D_COST} / ${D_PROCESSES}")
    _ombrane_test_parts(${target} ${target} "*" ${D_PROCESSES} "" "${D_PROPERTIES};COST;${cost}")
    if(filter)
      math(EXPR german "(${D_PROCESSES} + 1) / 2")
      _ombrane_test_parts(${target} ${target}.de "${filter}" ${german} "${OMBRANE_GERMAN_LOCALE}"
                          "${D_PROPERTIES};COST;${cost}")
      foreach(k RANGE 1 ${german})
        set_property(TEST ${target}.de/${k} APPEND PROPERTY LABELS locale)
      endforeach()
    endif()
  elseif(NOT filter)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES ${D_PROPERTIES})
  elseif(D_LOCALE_ALL)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES ${D_PROPERTIES} LABELS locale)
  else()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 TEST_FILTER "${filter}"
                         PROPERTIES ${D_PROPERTIES} LABELS locale)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 TEST_FILTER "-${filter}"
                         PROPERTIES ${D_PROPERTIES})
  endif()
endfunction()

# The parts NAME/1 .. NAME/count of TARGET's tests that match filter, run with
# the environment given on top of the properties' own.
function(_ombrane_test_parts target name filter count environment properties)
  foreach(k RANGE 1 ${count})
    math(EXPR index "${k} - 1")
    add_test(NAME ${name}/${k} COMMAND ${target} --gtest_brief=1 --gtest_filter=${filter})
    if(properties)
      set_tests_properties(${name}/${k} PROPERTIES ${properties})
    endif()
    set_property(TEST ${name}/${k} APPEND PROPERTY ENVIRONMENT
                 GTEST_TOTAL_SHARDS=${count} GTEST_SHARD_INDEX=${index} ${environment})
  endforeach()
endfunction()
