# Helpers that give every deliverable its product file name in the bin folder.

# A plug-in or stand-in module: an ELF shared library named like its Windows product,
# for example umbravia_module(filters_module Filters.dll SOURCES ...).
function(umbravia_module target product)
  cmake_parse_arguments(ARG "TEST_ONLY" "" "SOURCES;LIBS" ${ARGN})
  add_library(${target} MODULE ${ARG_SOURCES})
  get_filename_component(stem ${product} NAME_WE)
  get_filename_component(ext ${product} EXT)
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${stem} SUFFIX ${ext}
                        CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  if(ARG_TEST_ONLY)
    # Modules built only for tests stay out of the install folder.
    set_target_properties(${target} PROPERTIES
                          LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/testmodules/${target})
  endif()
  target_link_libraries(${target} PRIVATE ${ARG_LIBS})
  target_link_options(${target} PRIVATE -Wl,--no-undefined)
endfunction()

# A program: an ELF executable under its Windows product name ("Umbravia.exe").
function(umbravia_program target product)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${product})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS})
endfunction()

# One test executable per *Test.cpp file in DIR, so that suites build and fail on
# their own, each case registered with ctest.
function(umbravia_tests prefix dir)
  cmake_parse_arguments(ARG "" "TIMEOUT" "LIBS;DEPENDS;LABELS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  file(GLOB tests CONFIGURE_DEPENDS ${dir}/*Test.cpp)
  foreach(src ${tests})
    get_filename_component(name ${src} NAME_WE)
    set(exe ${prefix}_${name})
    add_executable(${exe} ${src})
    set_target_properties(${exe} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    # gtest_main supplies main() unless the test file defines its own (child-process tests).
    target_link_libraries(${exe} PRIVATE umbravia_testsupport ${ARG_LIBS} GTest::gmock GTest::gtest_main)
    if(ARG_DEPENDS)
      add_dependencies(${exe} ${ARG_DEPENDS})
    endif()
    # Every test runs with a decoy home in the build folder, so that a program or library
    # falling back to the home (the default prefix, Qt's file dialog history, XDG folders)
    # never reaches the user's own; tests that need a home of their own make a temporary
    # one. The environment is set by running each test through env(1): a list given to the
    # test discovery's ENVIRONMENT property keeps only its first entry.
    set(home ${CMAKE_BINARY_DIR}/test-home)
    file(MAKE_DIRECTORY ${home})
    set_target_properties(${exe} PROPERTIES CROSSCOMPILING_EMULATOR
      "env;UMBRAVIA_BIN=${UMBRAVIA_BIN_DIR};UMBRAVIA_TESTMODULES=${CMAKE_BINARY_DIR}/testmodules;QT_QPA_PLATFORM=offscreen;HOME=${home};XDG_CONFIG_HOME=${home}/.config;XDG_DATA_HOME=${home}/.local/share;XDG_CACHE_HOME=${home}/.cache")
    gtest_discover_tests(${exe} DISCOVERY_MODE PRE_TEST
                         PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "${prefix};${ARG_LABELS}")
  endforeach()
endfunction()
