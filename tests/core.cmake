lorvanta_add_test(core_bankfile SOURCES core_bankfile.cpp LIBS lorvanta_core)
lorvanta_add_test(core_textutil SOURCES core_textutil.cpp LIBS lorvanta_core)
lorvanta_add_test(core_network SOURCES core_network.cpp localserver.h LIBS lorvanta_core)

add_test(NAME install_layout COMMAND ${CMAKE_COMMAND}
  -DBUILD_DIR=${CMAKE_BINARY_DIR} -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/install-check
  -P ${CMAKE_CURRENT_SOURCE_DIR}/check_install.cmake)
set_tests_properties(install_layout PROPERTIES TIMEOUT 120)
