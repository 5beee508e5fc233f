# A folder whose code has not been written yet still yields a (empty) library,
# so the targets that depend on it configure.
macro(orvela_nonempty var)
  if(NOT ${var})
    set(${var} ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  endif()
endmacro()

# Each source folder is one static library of every .cpp it holds.
function(orvela_folder_library name)
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  orvela_nonempty(_srcs)
  add_library(${name} STATIC ${_srcs})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
endfunction()

# One GoogleTest binary per subsystem from every .cpp of the test folder. With
# QT_MAIN the binary holds widget tests and gets the main that makes the
# QApplication; the others use GoogleTest's own main.
function(orvela_test_binary name)
  cmake_parse_arguments(ARG "QT_MAIN" "" "" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT _srcs)
    return()
  endif()
  add_executable(${name} ${_srcs})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(ARG_QT_MAIN)
    target_link_libraries(${name} PRIVATE orvela_qt_test_main)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_UNPARSED_ARGUMENTS} orvela_test_support GTest::gtest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SDL_AUDIODRIVER=dummy")
endfunction()
