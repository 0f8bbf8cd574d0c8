# Helpers shared by every folder's CMakeLists.

# The rpath that lets a library or program in build/lib or build/bin find the platform libraries.
function(vel_origin_rpath target)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set_target_properties(${target} PROPERTIES BUILD_RPATH "${VEL_LIB_DIR}")
  else()
    set_target_properties(${target} PROPERTIES BUILD_RPATH "$ORIGIN" SKIP_BUILD_RPATH OFF)
  endif()
endfunction()

# Shared libraries must resolve every symbol at link time, except in sanitizer builds, where the
# sanitizer runtime comes with the executable.
function(vel_no_undefined target)
  if(NOT VEL_SANITIZE AND NOT VEL_FUZZ)
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
endfunction()

# vel_platform_library(<facility> SOURCES ... [LIBS ...]) -> libplat_<facility>.so
function(vel_platform_library facility)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(plat_${facility} SHARED ${ARG_SOURCES})
  target_include_directories(plat_${facility} PUBLIC ${PROJECT_SOURCE_DIR}/platform/include
                                                     ${PROJECT_SOURCE_DIR}/platform/control)
  target_link_libraries(plat_${facility} PRIVATE ${ARG_LIBS})
  vel_no_undefined(plat_${facility})
  vel_origin_rpath(plat_${facility})
endfunction()

# vel_engine_library(<name> SOURCES ... [LIBS ...]) -> lib<name>.so with the framework compiled in.
function(vel_engine_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE vel_framework ${ARG_LIBS})
  vel_no_undefined(${name})
  vel_origin_rpath(${name})
endfunction()

# vel_test(<name> SOURCES ... [LIBS ...] [TIMEOUT s]): a GoogleTest host registered with CTest.
# Tests load engine libraries from VEL_LIB_DIR and may link platform libraries directly.
function(vel_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE vel_test_util GTest::gtest GTest::gtest_main ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  vel_origin_rpath(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT ${ARG_TIMEOUT}
                                  ENVIRONMENT "SDL_VIDEODRIVER=offscreen;SDL_AUDIODRIVER=dummy")
endfunction()
