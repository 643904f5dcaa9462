trivox_add_test(NAME test_graph LABELS graph core threads
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/media_graph_test.cpp
          ${PROJECT_SOURCE_DIR}/engine/core/media_graph.cpp ${PROJECT_SOURCE_DIR}/engine/core/packet_queue.cpp
          ${PROJECT_SOURCE_DIR}/engine/core/stream_pump.cpp ${PROJECT_SOURCE_DIR}/engine/core/queued_writer.cpp
          ${PROJECT_SOURCE_DIR}/engine/core/media_module.cpp
  LIBS trivox_platform)
