# A full firmware image into the virtual bootloader at 115200 baud through the real program.
add_executable(firmware_bench ${CMAKE_CURRENT_LIST_DIR}/firmware_bench.cpp)
target_link_libraries(firmware_bench PRIVATE sarvik_update sarvik_simulator sarvik_core Qt6::Widgets)
target_include_directories(firmware_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/modules/firmware)
sarvik_target_defaults(firmware_bench)
