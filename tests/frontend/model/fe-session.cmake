# Engine sessions against a stand-in engine (a small program copied as
# trivox_free into each test's program folder).
include_guard(GLOBAL)
add_executable(velmo_fake_engine ${CMAKE_CURRENT_LIST_DIR}/fake_engine.cpp)
trivox_warnings(velmo_fake_engine)
target_link_libraries(velmo_fake_engine PRIVATE trivox_common)

add_library(velmo_fake_engine_folder STATIC ${CMAKE_CURRENT_LIST_DIR}/fake_engine_folder.cpp)
trivox_warnings(velmo_fake_engine_folder)
target_link_libraries(velmo_fake_engine_folder PUBLIC velmo_model GTest::gtest)
target_compile_definitions(velmo_fake_engine_folder PRIVATE
  TRIVOX_BINARY_DIR="${CMAKE_BINARY_DIR}" FAKE_ENGINE_PATH="$<TARGET_FILE:velmo_fake_engine>")
add_dependencies(velmo_fake_engine_folder velmo_fake_engine)

trivox_add_test(NAME test_fe_session LABELS fe-session
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine_session_test.cpp
  LIBS velmo_model velmo_fake_engine_folder)
