# velmo_qt_test(NAME name LABELS ... SOURCES ... LIBS ...): one Qt front-end test
# group, run offscreen, with its own artifact folder for the pictures it keeps.
# Fragments that use it include this file first, so it works whatever order
# the fragments load in.
include_guard(GLOBAL)

set(VELMO_TEST_RUNTIME_DIR ${CMAKE_BINARY_DIR}/xdg-runtime)
file(MAKE_DIRECTORY ${VELMO_TEST_RUNTIME_DIR})
file(CHMOD ${VELMO_TEST_RUNTIME_DIR} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

# The shared main and helpers, compiled once for every Qt test (the main as objects, so
# it wins over GoogleTest's own).
add_library(velmo_qt_test_main OBJECT ${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test_main.cpp)
add_library(velmo_qt_test_util STATIC ${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test_util.cpp)
foreach(helper velmo_qt_test_main velmo_qt_test_util)
  trivox_warnings(${helper})
  target_include_directories(${helper} PUBLIC ${PROJECT_SOURCE_DIR}/tests/frontend/ui ${PROJECT_SOURCE_DIR})
  target_link_libraries(${helper} PUBLIC Qt6::Widgets Qt6::Test GTest::gtest)
  target_compile_definitions(${helper} PRIVATE TRIVOX_BINARY_DIR="${CMAKE_BINARY_DIR}")
endforeach()

function(velmo_qt_test)
  cmake_parse_arguments(Q "" "NAME" "LABELS;SOURCES;LIBS" ${ARGN})
  set(artifacts ${CMAKE_BINARY_DIR}/test-artifacts/${Q_NAME})
  file(MAKE_DIRECTORY ${artifacts})
  trivox_add_test(NAME ${Q_NAME} LABELS ${Q_LABELS}
    SOURCES ${Q_SOURCES} $<TARGET_OBJECTS:velmo_qt_test_main>
    LIBS ${Q_LIBS} velmo_qt_test_util Qt6::Test OWN_MAIN
    ENV QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=${VELMO_TEST_RUNTIME_DIR})
  target_include_directories(${Q_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/frontend/ui)
  target_compile_definitions(${Q_NAME} PRIVATE VELMO_ARTIFACT_DIR="${artifacts}")
endfunction()
