lorvanta_add_test(core_bankfile SOURCES core_bankfile.cpp LIBS lorvanta_core)
lorvanta_add_test(core_textutil SOURCES core_textutil.cpp LIBS lorvanta_core)
lorvanta_add_test(core_network SOURCES core_network.cpp localserver.h LIBS lorvanta_core)
