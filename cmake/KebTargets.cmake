# Helpers shared by every folder's CMakeLists.txt.

# Warnings are errors in ./dev and CI, which know their compiler; a plain
# build leaves them warnings, so that a newer compiler's new warnings do not
# stop a distribution's build.
option(KEB_WERROR "Treat compiler warnings as errors" OFF)
set(KEB_WARNINGS -Wall -Wextra)
if(KEB_WERROR)
  list(APPEND KEB_WARNINGS -Werror)
endif()

set(KEB_SANITIZE "" CACHE STRING "Sanitizers: address;undefined or thread")
if(KEB_SANITIZE)
  list(JOIN KEB_SANITIZE "," _keb_sanitizers)
  add_compile_options(-fsanitize=${_keb_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_keb_sanitizers})
endif()
# Release builds carry the usual hardening: checked buffer functions, a
# stack protector, relocations read-only and bound at start, and
# position-independent programs. Sanitizer and fuzz builds go without: they
# check more than this, and fortified functions hide accesses from them. A
# distribution that brings its own flags can turn it off.
option(KEB_HARDEN "Harden release builds" ON)
if(KEB_HARDEN AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$"
   AND NOT KEB_SANITIZE AND NOT KEB_FUZZ)
  include(CheckPIESupported)
  check_pie_supported()
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  add_compile_options(-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2 -fstack-protector-strong)
  add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
if(KEB_FUZZ)
  # Coverage for libFuzzer in every library; only the fuzz targets link the driver.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Adds every direct subfolder of the calling folder that has a CMakeLists.txt.
function(keb_add_subfolders)
  file(GLOB folders LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT folders)
  foreach(folder IN LISTS folders)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/CMakeLists.txt)
      add_subdirectory(${folder})
    endif()
  endforeach()
endfunction()

# Precompiled headers save most of the time spent reading the same large
# headers (GoogleTest, Qt) in every file. A compiler cache saves more on its
# own and, unless told otherwise, does not store files built against a
# precompiled header, so they are off by default under one.
if(CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
  set(_keb_pch_default OFF)
else()
  set(_keb_pch_default ON)
endif()
option(KEB_PRECOMPILED_HEADERS "Precompile the headers every test and Qt library reads"
       ${_keb_pch_default})

# keb_precompiled_headers(target set headers...): the first target of a set
# precompiles the headers, the others reuse its result; the targets of a
# set must be built with the same flags (all libraries or all programs).
function(keb_precompiled_headers target set)
  get_property(owner GLOBAL PROPERTY KEB_PCH_OWNER_${set})
  if(NOT owner)
    set_property(GLOBAL PROPERTY KEB_PCH_OWNER_${set} ${target})
    # A deferred call reads its arguments when it runs, so the name is
    # written into the call now.
    cmake_language(EVAL CODE "cmake_language(DEFER DIRECTORY [[${PROJECT_SOURCE_DIR}]]
      CALL keb_check_precompiled_header_owner [[${target}]])")
  endif()
  if(NOT KEB_PRECOMPILED_HEADERS)
    return()
  endif()
  # A precompiled header serves only files compiled with the same macros and
  # code model. PortAudio's flags bring -pthread (which defines _REENTRANT) to
  # whatever uses the audio layer, and Qt's bring -fPIC to whatever uses Qt,
  # so every file that shares a header takes both.
  target_compile_options(${target} PRIVATE -pthread -fPIC)
  if(owner)
    target_precompile_headers(${target} REUSE_FROM ${owner})
  else()
    target_precompile_headers(${target} PRIVATE ${ARGN})
  endif()
endfunction()

# A precompiled header carries the macros of the target that built it, and
# GCC refuses it (an error under -Werror) in any file compiled without them.
# The target that precompiles for a set therefore defines no macros of its
# own; a macro only some of its files read goes on those files. Checked
# after the whole tree is read, whether or not headers are precompiled, so
# that a build with ccache fails the same way as one without.
function(keb_check_precompiled_header_owner target)
  get_target_property(definitions ${target} COMPILE_DEFINITIONS)
  if(definitions)
    message(FATAL_ERROR "${target} precompiles headers that other programs "
      "reuse, so it must not define macros of its own (${definitions}); "
      "set them on the source files that read them")
  endif()
endfunction()

# keb_library(name SOURCES ... DEPENDS ...): a static library of project code
# with the project's warnings, its folder's parent on the include path, and
# registered so that the umbrella targets keb_core / keb_gui can gather it.
function(keb_library name)
  cmake_parse_arguments(ARG "GUI" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${KEB_WARNINGS})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  if(ARG_GUI)
    set_property(GLOBAL APPEND PROPERTY KEB_GUI_LIBRARIES ${name})
  else()
    set_property(GLOBAL APPEND PROPERTY KEB_CORE_LIBRARIES ${name})
  endif()
  # The window's libraries (Qt Widgets, directly or through another of them)
  # share the Qt headers.
  get_property(widget_libraries GLOBAL PROPERTY KEB_WIDGET_LIBRARIES)
  foreach(dependency IN LISTS ARG_DEPENDS)
    if(dependency STREQUAL "Qt6::Widgets" OR dependency IN_LIST widget_libraries)
      set_property(GLOBAL APPEND PROPERTY KEB_WIDGET_LIBRARIES ${name})
      keb_precompiled_headers(${name} widget_libraries
        <QAccessible> <QApplication> <QPainter> <QTimer> <QWidget>)
      break()
    endif()
  endforeach()
endfunction()

# Test programs with one of these labels are neither built with the rest nor
# registered with CTest: the ThreadSanitizer build leaves out those whose
# tests it does not run.
set(KEB_SKIP_TEST_LABELS "" CACHE STRING "Labels of the test programs not to build")

# keb_test(name SOURCES ... DEPENDS ...): one GoogleTest executable, its tests
# registered with CTest one by one.
function(keb_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPENDS;LABELS" ${ARGN})
  set(skipped OFF)
  foreach(label IN LISTS ARG_LABELS)
    if(label IN_LIST KEB_SKIP_TEST_LABELS)
      set(skipped ON)
    endif()
  endforeach()
  if(skipped)
    add_executable(${name} EXCLUDE_FROM_ALL ${ARG_SOURCES})
  else()
    add_executable(${name} ${ARG_SOURCES})
  endif()
  target_compile_options(${name} PRIVATE ${KEB_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} GTest::gtest GTest::gmock)
  if(skipped)
    return()
  endif()
  # The Qt test programs precompile GoogleTest and Qt Test (the others do
  # without: compiled position-independent, GCC 12 warns falsely in their
  # string code). Qt Test's macros name the program's build folder, so they
  # share their headers folder by folder.
  if("Qt6::Test" IN_LIST ARG_DEPENDS)
    string(MAKE_C_IDENTIFIER "${CMAKE_CURRENT_SOURCE_DIR}" folder)
    keb_precompiled_headers(${name} qt_tests_${folder} <gmock/gmock.h> <gtest/gtest.h> <QTest>)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  # The tests run (and are listed) through env, which gives them an offscreen
  # Qt and the build folder for the pictures they write; ctest's ENVIRONMENT
  # property cannot carry two variables through test discovery.
  set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR
    env QT_QPA_PLATFORM=offscreen KEB_BUILD_DIR=${PROJECT_BINARY_DIR})
  if(ARG_LABELS)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "${ARG_LABELS}")
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  endif()
endfunction()

# keb_test_library(name SOURCES ... DEPENDS ...): code that several test
# programs or benchmarks share, compiled once; built only for those that use it.
function(keb_test_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC EXCLUDE_FROM_ALL ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${KEB_WARNINGS})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
endfunction()

macro(keb_define_umbrella_targets)
  get_property(_core GLOBAL PROPERTY KEB_CORE_LIBRARIES)
  get_property(_gui GLOBAL PROPERTY KEB_GUI_LIBRARIES)
  add_library(keb_core INTERFACE)
  target_link_libraries(keb_core INTERFACE ${_core})
  add_library(keb_gui INTERFACE)
  target_link_libraries(keb_gui INTERFACE keb_core ${_gui})
endmacro()

# keb_benchmark(name SOURCES ... DEPENDS ...): a Google Benchmark program; run by ./dev bench.
function(keb_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${KEB_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} benchmark::benchmark)
  set_property(GLOBAL APPEND PROPERTY KEB_BENCHMARKS ${name})
endfunction()

# keb_fuzzer(name SOURCES ... DEPENDS ... CORPUS dir): a libFuzzer target; run by ./dev fuzz.
function(keb_fuzzer name)
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${KEB_WARNINGS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS})
  set_property(GLOBAL APPEND PROPERTY KEB_FUZZERS "${name}:${ARG_CORPUS}")
endfunction()
