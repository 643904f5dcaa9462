# The skin: drop shadow, skinned dialog, gradient label, link, owner-draw and
# icon buttons.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)

velmo_qt_test(NAME test_fe_skin LABELS fe-skin
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/skin_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/skin_controls_test.cpp
  LIBS velmo_controls)
