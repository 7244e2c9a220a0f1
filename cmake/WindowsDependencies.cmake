# The libraries a Windows cross-build takes from the Linux machine's sources:
# neither is packaged for MinGW, both are portable.
#
# nlohmann/json is header-only. Its headers are copied into the build folder
# rather than taking /usr/include as an include folder, which would put the
# Linux C library's headers in front of MinGW's.
set(json_include ${PROJECT_BINARY_DIR}/third_party/include)
if(NOT EXISTS /usr/include/nlohmann/json.hpp)
  message(FATAL_ERROR "nlohmann/json.hpp is missing: install nlohmann-json3-dev")
endif()
file(COPY /usr/include/nlohmann DESTINATION ${json_include})
add_library(nlohmann_json INTERFACE)
target_include_directories(nlohmann_json SYSTEM INTERFACE ${json_include})
add_library(nlohmann_json::nlohmann_json ALIAS nlohmann_json)

# GoogleTest, built from Debian's source package (googletest).
if(VISTEL_TESTS)
  set(gtest_source /usr/src/googletest)
  if(NOT EXISTS ${gtest_source}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest's sources are missing: install googletest")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  # Its own CMake defines the GTest:: targets the tests link.
  add_subdirectory(${gtest_source} ${PROJECT_BINARY_DIR}/third_party/googletest EXCLUDE_FROM_ALL)
endif()
