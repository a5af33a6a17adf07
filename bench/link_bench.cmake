add_executable(link_bench ${CMAKE_CURRENT_LIST_DIR}/link_bench.cpp)
target_link_libraries(link_bench PRIVATE sarvik_devicelink util)
sarvik_target_defaults(link_bench)
