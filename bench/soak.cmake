add_executable(soak ${CMAKE_CURRENT_LIST_DIR}/soak.cpp)
target_link_libraries(soak PRIVATE sarvik_appmodules sarvik_core sarvik_simulator Qt6::Widgets)
sarvik_target_defaults(soak)
