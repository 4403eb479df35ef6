# The layers hold: the lowest libraries know no widgets, and the program does
# not link the browser engine (its web view is a module loaded on first use).
#   cmake -DBUILD_DIR=... -DEXE=... -DCORE_TEST=... -DRULES_TEST=... -P check_layers.cmake
find_program(LDD ldd REQUIRED)

function(linked_libraries file out)
  execute_process(COMMAND ${LDD} "${file}" OUTPUT_VARIABLE text RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "ldd failed on ${file}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

linked_libraries("${EXE}" exe_libs)
if(exe_libs MATCHES "WebEngine")
  message(FATAL_ERROR "the program links Qt WebEngine:\n${exe_libs}")
endif()

# Test programs that link only the core, or the rules and the core.
foreach(test "${CORE_TEST}" "${RULES_TEST}")
  linked_libraries("${test}" libs)
  foreach(forbidden Qt6Widgets Qt6Gui Qt6Multimedia WebEngine espeak)
    if(libs MATCHES "${forbidden}")
      message(FATAL_ERROR "${test} links ${forbidden}: a lower layer depends on a higher one")
    endif()
  endforeach()
endforeach()

