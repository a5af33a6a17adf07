add_executable(hex_bench ${CMAKE_CURRENT_LIST_DIR}/hex_bench.cpp)
target_link_libraries(hex_bench PRIVATE sarvik_firmware Qt6::Core)
sarvik_target_defaults(hex_bench)
