# The tests of the Windows build, cross-built and run under Wine
# (CMAKE_CROSSCOMPILING_EMULATOR, cmake/mingw-w64.cmake). GoogleTest is built
# from the sources Debian's googletest package installs.
set(KESTRIX_GOOGLETEST_SOURCES /usr/src/googletest CACHE PATH "GoogleTest's sources")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${KESTRIX_GOOGLETEST_SOURCES} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Its code is not held to this tree's warnings.
set_property(TARGET gtest gtest_main PROPERTY COMPILE_OPTIONS -w -ffp-contract=off)

# Wine keeps its Windows in a folder of the build's own, made once per
# test run by the fixture below (about 20 s; the tests then start in well
# under a second).
set(KESTRIX_WINE_PREFIX ${PROJECT_BINARY_DIR}/wine-prefix)
# No .NET or browser engine in it (Wine would offer to fetch them).
set(KESTRIX_WINE_ENVIRONMENT WINEPREFIX=${KESTRIX_WINE_PREFIX} WINEDEBUG=-all
                             WINEDLLOVERRIDES=mscoree,mshtml=)
if(CMAKE_CROSSCOMPILING_EMULATOR)
  add_test(NAME wine_prefix COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/wine_prefix.sh
                                    ${CMAKE_CROSSCOMPILING_EMULATOR})
  set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine ENVIRONMENT
                                              "${KESTRIX_WINE_ENVIRONMENT}" TIMEOUT 300)
endif()

# One CTest test per test program: each Wine start costs a few tenths of a
# second, one per test case would cost minutes.
function(kestrix_add_windows_test name)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT
                                          "TZ=America/St_Johns;${KESTRIX_WINE_ENVIRONMENT}")
endfunction()
