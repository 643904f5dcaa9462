# Built from the engine sources they test alone: these carry no engine globals.
trivox_add_test(NAME test_queues LABELS queues core threads
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/packet_queue_test.cpp ${CMAKE_CURRENT_LIST_DIR}/stream_pump_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/queued_writer_test.cpp
          ${PROJECT_SOURCE_DIR}/engine/core/packet_queue.cpp ${PROJECT_SOURCE_DIR}/engine/core/stream_pump.cpp
          ${PROJECT_SOURCE_DIR}/engine/core/queued_writer.cpp ${PROJECT_SOURCE_DIR}/engine/core/media_module.cpp
  LIBS trivox_platform)
