# Cost of the presence check, and the time from a removal event to the port closed.
add_executable(discovery_bench ${CMAKE_CURRENT_LIST_DIR}/discovery_bench.cpp)
target_link_libraries(discovery_bench PRIVATE sarvik_devicelink Qt6::Core)
target_include_directories(discovery_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
sarvik_target_defaults(discovery_bench)
