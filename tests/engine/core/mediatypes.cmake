# Built from the helper source alone, as plug-ins build it: no engine library.
trivox_add_test(NAME test_media_type_helpers LABELS mediatypes
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/media_type_helpers_test.cpp
          ${PROJECT_SOURCE_DIR}/engine/core/media_type_helpers.cpp
  LIBS trivox_platform)
