# Device discovery and the connection state machine.
sarvik_add_test(disc_discovery_test SOURCES disc_discovery_test.cpp LIBS sarvik_devicelink)
sarvik_add_test(disc_connection_test SOURCES disc_connection_test.cpp LIBS sarvik_devicelink)
foreach(t disc_discovery_test disc_connection_test)
  target_include_directories(${t} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
endforeach()
# The connection timer on presence events, against built trees, pseudo-terminals and the virtual device.
sarvik_add_test(disc_presence_test SOURCES disc_presence_test.cpp LIBS sarvik_devicelink sarvik_simulator)
target_include_directories(disc_presence_test PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
