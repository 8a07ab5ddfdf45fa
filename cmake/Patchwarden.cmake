# pw_library(<name> [DEPS <targets>...])
# Builds the static library pw_<name> from every source file in the calling folder.
function(pw_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  list(FILTER sources INCLUDE REGEX "\\.(cpp|h|qrc)$")
  set(compiled ${sources})
  list(FILTER compiled INCLUDE REGEX "\\.cpp$")
  if(compiled)
    add_library(pw_${name} STATIC ${sources})
    target_include_directories(pw_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_compile_options(pw_${name} PRIVATE -Wall -Wextra)
    target_link_libraries(pw_${name} PUBLIC ${ARG_DEPS})
  else()
    # A subsystem that has no code yet still takes part in the dependency chain.
    add_library(pw_${name} INTERFACE)
    target_include_directories(pw_${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(pw_${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# pw_test(<name> SOURCES <files>... [LIBS <targets>...] [JACK])
# One Qt Test executable per area, run offscreen. JACK marks tests that need the
# JACK server that test.sh starts.
function(pw_test name)
  cmake_parse_arguments(ARG "JACK" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE pw_testsupport ${ARG_LIBS} Qt6::Test)
  target_compile_options(${name} PRIVATE -Wall -Wextra)
  add_test(NAME ${name} COMMAND ${name})
  set(env "QT_QPA_PLATFORM=offscreen")
  if(ARG_JACK)
    # They share one server and see each other's ports: never two at once.
    # A JACK call can block for good on a server that a crashed client wedged; a short
    # limit turns that into a failure instead of a long wait.
    set_tests_properties(${name} PROPERTIES LABELS jack RESOURCE_LOCK jack_server TIMEOUT 240)
  else()
    set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}")
endfunction()
