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

# One GoogleTest binary per subsystem from every .cpp of the test folder.
function(orvela_test_binary name)
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT _srcs)
    return()
  endif()
  add_executable(${name} ${_srcs})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SDL_AUDIODRIVER=dummy")
endfunction()
