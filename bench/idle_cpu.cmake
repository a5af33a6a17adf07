# CPU the running program uses while online against the virtual device with no module window open.
add_executable(idle_cpu ${CMAKE_CURRENT_LIST_DIR}/idle_cpu.cpp)
target_link_libraries(idle_cpu PRIVATE Qt6::Core)
add_dependencies(idle_cpu sarvikcontrol sarvik2v2-sim)
target_compile_definitions(idle_cpu PRIVATE SARVIKCONTROL_EXE="$<TARGET_FILE:sarvikcontrol>"
                                            SIM_EXE="$<TARGET_FILE:sarvik2v2-sim>")
sarvik_target_defaults(idle_cpu)
