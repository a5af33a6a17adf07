# System messages window, communication protocol and log files.
sarvik_add_test(core_sysmeld_test SOURCES sysmeld_test.cpp LIBS sarvik_core sarvik_settings GUI)
sarvik_add_test(core_logs_test SOURCES logs_test.cpp LIBS sarvik_core sarvik_settings)
