# One static library per source folder; every .cpp found below it belongs to it.
function(orvel_add_library target folder)
  file(GLOB_RECURSE _srcs CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/src/${folder}/*.cpp
       ${CMAKE_SOURCE_DIR}/src/${folder}/*.h
       ${CMAKE_SOURCE_DIR}/src/${folder}/*.qrc)
  if(NOT _srcs)
    # Empty folder so far: an interface placeholder keeps the link lines valid.
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${target} INTERFACE ${ARGN})
    return()
  endif()
  add_library(${target} STATIC ${_srcs})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${target} PUBLIC ${ARGN})
endfunction()

# A Qt Test executable registered with CTest; HOME points at a scratch folder so
# that no test ever reads or writes the real home folder.
function(orvel_add_test name source)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE Qt5::Test ${ARGN})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  orvel_set_test_environment(${name})
endfunction()

# Scratch HOME (and the settings folder below it, which QSettings would
# otherwise take from XDG_CONFIG_HOME), offscreen windows drawn by the
# software renderer (no GL context needed), a timeout, and the sanitizers'
# list of Qt's own leaks.
function(orvel_set_test_environment name)
  set(_home ${CMAKE_BINARY_DIR}/test-home/${name})
  file(MAKE_DIRECTORY ${_home})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300
    ENVIRONMENT "HOME=${_home};XDG_CONFIG_HOME=${_home}/.config;QT_QPA_PLATFORM=offscreen;QT_QUICK_BACKEND=software;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp")
endfunction()
