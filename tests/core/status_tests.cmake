# Status polling, status area, status bar and the shared device formatters.
sarvik_add_test(core_status_logic_test SOURCES status_logic_test.cpp status_format_test.cpp
                LIBS sarvik_core sarvik_settings)
sarvik_add_test(core_status_widgets_test SOURCES status_widgets_test.cpp LIBS sarvik_core sarvik_settings GUI)
