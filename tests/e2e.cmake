# The built program in a real X session (Xvfb + xdotool), and the bank's
# behaviour when the writer dies mid-write.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  add_test(NAME e2e_window
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run_e2e.py --exe $<TARGET_FILE:lorvanta>)
  # 77: Xvfb or xdotool missing.
  set_tests_properties(e2e_window PROPERTIES
    TIMEOUT 240
    LABELS "e2e"
    SKIP_RETURN_CODE 77
    RUN_SERIAL TRUE
    ENVIRONMENT "LC_ALL=C.UTF-8")
endif()

add_executable(e2e_powercut_writer e2e/powercut_writer.cpp)
target_link_libraries(e2e_powercut_writer PRIVATE lorvanta_core)
lorvanta_add_test(e2e_powercut SOURCES e2e/powercut_bank.cpp LIBS lorvanta_core TIMEOUT 120)
target_compile_definitions(e2e_powercut PRIVATE
  LORVANTA_POWERCUT_WRITER="$<TARGET_FILE:e2e_powercut_writer>")
add_dependencies(e2e_powercut e2e_powercut_writer)
set_tests_properties(e2e_powercut PROPERTIES LABELS "e2e")
