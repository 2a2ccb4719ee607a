# Helpers every layer uses to declare executables and tests, so that one test
# source runs natively and, in the windows build, under Wine in two locales.

set(SORVIX_ROOT ${CMAKE_SOURCE_DIR})

# ---- GoogleTest ---------------------------------------------------------------
if(SORVIX_WINDOWS)
  # Debian ships googletest as sources; build them with the cross compiler.
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  add_library(sorvix_gtest INTERFACE)
  target_link_libraries(sorvix_gtest INTERFACE gtest gmock)
  add_library(sorvix_gtest_main INTERFACE)
  target_link_libraries(sorvix_gtest_main INTERFACE gtest_main gmock)
else()
  find_package(GTest REQUIRED)
  add_library(sorvix_gtest INTERFACE)
  target_link_libraries(sorvix_gtest INTERFACE GTest::gtest GTest::gmock)
  add_library(sorvix_gtest_main INTERFACE)
  target_link_libraries(sorvix_gtest_main INTERFACE GTest::gtest_main GTest::gmock)
endif()

# Test helpers shared by all test folders (paths to fixtures and tools).
add_library(sorvix_testsupport INTERFACE)
target_include_directories(sorvix_testsupport INTERFACE ${SORVIX_ROOT}/tests/common)
target_compile_definitions(sorvix_testsupport INTERFACE
  SORVIX_SOURCE_DIR="${SORVIX_ROOT}" SORVIX_BINARY_DIR="${CMAKE_BINARY_DIR}")

set(SORVIX_WINE_RUN ${SORVIX_ROOT}/scripts/wine-run.sh)

# ---- Windows executables --------------------------------------------------------
# sorvix_windows_exe(target [GUI])
# Embeds the application manifest and checks after linking that the file
# imports system DLLs only (no MinGW runtime DLL may be needed beside it).
function(sorvix_windows_exe target)
  if(NOT SORVIX_WINDOWS)
    return()
  endif()
  cmake_parse_arguments(W "GUI" "" "" ${ARGN})
  target_sources(${target} PRIVATE ${SORVIX_ROOT}/app/win/manifest.rc)
  if(W_GUI)
    target_link_options(${target} PRIVATE -mwindows)
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:${target}> -DOBJDUMP=${CMAKE_OBJDUMP}
            -P ${SORVIX_ROOT}/cmake/CheckImports.cmake
    VERBATIM)
endfunction()

# ---- Tests ----------------------------------------------------------------------
# sorvix_add_test(name SOURCES ... [LIBS ...] [NATIVE_ONLY] [WINDOWS_ONLY]
#                 [DISPLAY] [NO_MAIN] [TIMEOUT seconds] [LABELS ...])
# Natively: one CTest test. Windows build: the same binary under Wine twice,
# with LANG=en_US.UTF-8 (ANSI code page 1252) and LANG=zh_CN.UTF-8 (936);
# DISPLAY runs it inside a private Xvfb server.
function(sorvix_add_test name)
  cmake_parse_arguments(T "NATIVE_ONLY;WINDOWS_ONLY;DISPLAY;NO_MAIN" "TIMEOUT"
                        "SOURCES;LIBS;LABELS" ${ARGN})
  if(T_NATIVE_ONLY AND SORVIX_WINDOWS)
    return()
  endif()
  if(T_WINDOWS_ONLY AND NOT SORVIX_WINDOWS)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  if(T_NO_MAIN)
    target_link_libraries(${name} PRIVATE ${T_LIBS} sorvix_gtest sorvix_testsupport)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} sorvix_gtest_main sorvix_testsupport)
  endif()
  if(SORVIX_WINDOWS)
    set(runner ${SORVIX_WINE_RUN})
    if(T_DISPLAY)
      list(APPEND runner --display)
    endif()
    foreach(loc en zh)
      if(loc STREQUAL "en")
        set(lang en_US.UTF-8)
      else()
        set(lang zh_CN.UTF-8)
      endif()
      add_test(NAME ${name}.wine.${loc} COMMAND ${runner} $<TARGET_FILE:${name}>)
      set_tests_properties(${name}.wine.${loc} PROPERTIES
        ENVIRONMENT "LANG=${lang};LC_ALL=${lang};WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix-${loc}"
        TIMEOUT ${T_TIMEOUT} LABELS "wine;${T_LABELS}")
    endforeach()
  else()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "native;${T_LABELS}")
  endif()
endfunction()

# ---- Layer libraries -------------------------------------------------------------
# sorvix_layer_library(name DIR dir [DEPS ...] [PUBLIC_LIBS ...])
# Builds every .cpp directly in dir into a static library, leaving out the
# files of the other platform (*_win.cpp natively, *_posix.cpp for Windows).
# Files named *_main.cpp are left out (executables declare them).
function(sorvix_layer_library name)
  cmake_parse_arguments(L "" "DIR" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${L_DIR}/*.cpp)
  if(SORVIX_WINDOWS)
    list(FILTER srcs EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER srcs EXCLUDE REGEX "_win\\.cpp$")
  endif()
  list(FILTER srcs EXCLUDE REGEX "_main\\.cpp$")
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${SORVIX_ROOT})
    target_link_libraries(${name} PUBLIC ${L_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${SORVIX_ROOT})
    target_link_libraries(${name} INTERFACE ${L_DEPS})
  endif()
endfunction()

# ---- Folders of folders ------------------------------------------------------------
# sorvix_add_subfolders()
# Adds every direct subfolder of the calling folder that has a CMakeLists.txt,
# in name order, so that a new area only needs its own folder. A function: a
# subfolder's set(... PARENT_SCOPE) would reach this function, not the caller.
function(sorvix_add_subfolders)
  file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
