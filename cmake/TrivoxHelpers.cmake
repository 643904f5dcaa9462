# trivox_warnings(target): our warning set, applied to our own targets.
function(trivox_warnings target)
  target_compile_options(${target} PRIVATE ${TRIVOX_WARNINGS})
endfunction()

# trivox_sources(var dir...): the C++ sources of the given folders (not recursive).
function(trivox_sources var)
  set(out)
  foreach(dir ${ARGN})
    file(GLOB found CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
    list(APPEND out ${found})
  endforeach()
  set(${var} ${out} PARENT_SCOPE)
endfunction()

# trivox_add_test(NAME name LABELS l1 [l2...] SOURCES s1... [LIBS lib...] [TIMEOUT s] [ENV VAR=value...]
#                 [OWN_MAIN])
# One GoogleTest executable registered as one CTest test, so labels select whole groups.
# ENV adds environment entries to the test's own. The shared main (tests/test_util/test_main.cpp)
# exits 77 when cases skipped themselves and none failed, and CTest shows the test as skipped;
# OWN_MAIN: the sources bring a main of their own that does the same.
function(trivox_add_test)
  cmake_parse_arguments(T "OWN_MAIN" "NAME;TIMEOUT" "LABELS;SOURCES;LIBS;ENV" ${ARGN})
  if(NOT T_OWN_MAIN)
    list(APPEND T_SOURCES $<TARGET_OBJECTS:trivox_test_main>)
  endif()
  # The tests that start threads of our code carry the label "threads"
  # (tests/thread_tests.cmake); a tree built with TRIVOX_TESTS_LABELLED builds only the
  # tests with that label by default, and its target labelled_tests builds just them.
  if(T_NAME IN_LIST TRIVOX_THREAD_TESTS)
    list(APPEND T_LABELS threads)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  if(TRIVOX_TESTS_LABELLED AND NOT TRIVOX_TESTS_LABELLED IN_LIST T_LABELS)
    set_target_properties(${T_NAME} PROPERTIES EXCLUDE_FROM_ALL TRUE)
  elseif(TRIVOX_TESTS_LABELLED)
    set_property(GLOBAL APPEND PROPERTY TRIVOX_LABELLED_TESTS ${T_NAME})
  endif()
  trivox_warnings(${T_NAME})
  # Position-dependent: a fifth of a test program's size is load-time relocations otherwise.
  target_link_options(${T_NAME} PRIVATE -no-pie)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest Threads::Threads)
  target_compile_definitions(${T_NAME} PRIVATE
    TRIVOX_STAGE_DIR="${TRIVOX_STAGE_DIR}"
    TRIVOX_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TRIVOX_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  # The namespace carries a hash of the build folder, so two build trees never share blocks.
  string(MD5 build_hash "${CMAKE_BINARY_DIR}")
  string(SUBSTRING "${build_hash}" 0 8 build_hash)
  set(env "TRIVOX_SHM_NAMESPACE=trivox-test-${build_hash}-${T_NAME}" "TRIVOX_STAGE_DIR=${TRIVOX_STAGE_DIR}" ${T_ENV})
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}"
    SKIP_RETURN_CODE 77)
endfunction()

# trivox_add_plugin(name sources...): a plug-in shared object staged into plugin/.
function(trivox_add_plugin name)
  add_library(${name} MODULE ${ARGN})
  trivox_warnings(${name})
  # Export only the plug-in entry points, so a plug-in can be unloaded after registration.
  set_target_properties(${name} PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${TRIVOX_PLUGIN_DIR}
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_link_options(${name} PRIVATE -Wl,--exclude-libs,ALL)
  target_link_libraries(${name} PRIVATE trivox_plugin_api)
endfunction()

# trivox_library(name dir...): a static library of the folders' sources (may start empty).
function(trivox_library name)
  trivox_sources(srcs ${ARGN})
  if(NOT srcs)
    set(srcs ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name} STATIC ${srcs})
  trivox_warnings(${name})
endfunction()
