# Round trips and paced line rate of the virtual Sarvik2V2 through its pseudo-terminal.
add_executable(sim_bench ${CMAKE_CURRENT_LIST_DIR}/sim_bench.cpp ${PROJECT_SOURCE_DIR}/tests/simulator/rawclient.cpp)
target_link_libraries(sim_bench PRIVATE sarvik_simulator sarvik_devicelink Qt6::Core)
target_include_directories(sim_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/simulator)
sarvik_target_defaults(sim_bench)
