# ombrane_discover_tests(TARGET [PROCESSES n] [COST seconds]
#                        [LOCALE_TESTS entry ... | LOCALE_ALL] [LOCALE_COST seconds]
#                        [PROPERTIES ...]):
# the GoogleTest tests of TARGET for ctest. The tests named in LOCALE_TESTS
# (or all, LOCALE_ALL) get the label locale as well: scripts/test runs them a
# second time in a German locale (decimal comma). An entry Suite names every
# test of the suite; an entry with a dot is a GoogleTest pattern of full names
# (Suite.Test, Suite.Prefix*). A test earns the label when the process it
# checks takes the user's locale (it makes a Qt application object or starts
# one of the programs) and what the test itself checks holds numbers as text
# or words in an order: a LUT or look document written or read, a number
# typed, printed or given as an option (decimals, times, sizes, percentages),
# a report, message or help text with numbers, names sorted. Tests that only
# compare pictures, streams, binary files, exit codes or messages without
# numbers run once, even in a suite whose other tests run twice.
#
# Each test is a ctest test of its own, in a process of its own. With
# OMBRANE_WHOLE_TEST_PROGRAMS the program runs instead in PROCESSES parts
# (GoogleTest's shards, default 1), each a ctest test named TARGET/k that runs
# its share of the tests one after another in one process, and the locale
# tests again in a German locale as TARGET.de/k (label locale): under the
# sanitizers a process costs a quarter of a second to start and to check for
# leaks at its end, and the parts keep both cores busy. COST, about the
# seconds the whole program takes there, lets ctest start the longest parts
# first; LOCALE_COST, the seconds of its locale tests (by default COST with
# LOCALE_ALL, a third of it with a list), sizes the German parts like the
# others. A failing part names its failing tests in its output.
#
# A list of locale tests comes with the test TARGET.locale_list: it fails,
# naming the entry, when an entry matches no test of TARGET (a test renamed
# or removed), so that no test leaves the German pass unnoticed.
option(OMBRANE_WHOLE_TEST_PROGRAMS "Run each test program in a few processes, not one per test" OFF)

set(OMBRANE_GERMAN_LOCALE "LC_ALL=de_DE.UTF-8")
set(OMBRANE_LOCALE_LIST_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/OmbraneLocaleList.cmake)

function(ombrane_discover_tests target)
  cmake_parse_arguments(D "LOCALE_ALL" "PROCESSES;COST;LOCALE_COST" "LOCALE_TESTS;PROPERTIES" ${ARGN})
  if(NOT D_PROCESSES)
    set(D_PROCESSES 1)
  endif()
  if(NOT D_COST)
    set(D_COST 10)
  endif()
  if(D_LOCALE_ALL)
    set(filter "*")
    set(locale_share ${D_COST})
  elseif(D_LOCALE_TESTS)
    _ombrane_locale_filter(filter ${D_LOCALE_TESTS})
    math(EXPR locale_share "${D_COST} / 3")
    _ombrane_locale_list_check(${target} ${D_LOCALE_TESTS})
  endif()
  if(NOT D_LOCALE_COST)
    set(D_LOCALE_COST ${locale_share})
  endif()
  if(OMBRANE_WHOLE_TEST_PROGRAMS)
    math(EXPR cost "${D_COST} / ${D_PROCESSES}")
    _ombrane_test_parts(${target} ${target} "*" ${D_PROCESSES} "" "${D_PROPERTIES};COST;${cost}")
    if(filter)
      # As many German parts as make each about as long as a part above.
      math(EXPR german "(${D_LOCALE_COST} * ${D_PROCESSES} + ${D_COST} - 1) / ${D_COST}")
      if(german LESS 1)
        set(german 1)
      elseif(german GREATER D_PROCESSES)
        set(german ${D_PROCESSES})
      endif()
      math(EXPR german_cost "${D_LOCALE_COST} / ${german}")
      _ombrane_test_parts(${target} ${target}.de "${filter}" ${german} "${OMBRANE_GERMAN_LOCALE}"
                          "${D_PROPERTIES};COST;${german_cost}")
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

# The GoogleTest filter of the locale entries: a suite stands for all its
# tests, an entry with a dot for itself.
function(_ombrane_locale_filter out)
  set(patterns)
  foreach(entry IN LISTS ARGN)
    if(entry MATCHES "\\.")
      list(APPEND patterns "${entry}")
    else()
      list(APPEND patterns "${entry}.*")
    endif()
  endforeach()
  list(JOIN patterns ":" filter)
  set(${out} "${filter}" PARENT_SCOPE)
endfunction()

# The test TARGET.locale_list: every locale entry matches a test of TARGET.
# One listing of the program's tests, no test run: cheap under the sanitizers.
function(_ombrane_locale_list_check target)
  list(JOIN ARGN "," entries)
  add_test(NAME ${target}.locale_list
           COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}> "-DENTRIES=${entries}"
                   -P ${OMBRANE_LOCALE_LIST_SCRIPT})
  set_tests_properties(${target}.locale_list PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
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
