trivox_add_test(NAME test_queues LABELS queues core
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/packet_queue_test.cpp ${CMAKE_CURRENT_LIST_DIR}/stream_pump_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/queued_writer_test.cpp
  LIBS trivox_engine_graph)
