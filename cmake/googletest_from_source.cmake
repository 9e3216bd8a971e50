# GoogleTest built from the sources Debian ships in libgtest-dev, with the cross compiler
# (the packaged libraries are for the build machine). Provides the GTest:: names that
# find_package(GTest) gives a native build.
set(LEXORA_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources to build")
if(NOT EXISTS ${LEXORA_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${LEXORA_GOOGLETEST_SOURCE_DIR}: install libgtest-dev")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${LEXORA_GOOGLETEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# (GoogleTest's own CMake defines the GTest:: aliases.) Our warning flags are for our code.
foreach(target gtest gtest_main)
  set_target_properties(${target} PROPERTIES COMPILE_OPTIONS "")
endforeach()
