# The layers hold: the lowest libraries know no widgets, and the program does
# not link what its modules bring in.
#   cmake -DBUILD_DIR=... -DEXE=... -DCORE_TEST=... -DRULES_TEST=... -P check_layers.cmake
find_program(LDD ldd REQUIRED)

function(linked_libraries file out)
  execute_process(COMMAND ${LDD} "${file}" OUTPUT_VARIABLE text RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "ldd failed on ${file}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The web view, the audio engine, the HTTP client and printing are modules:
# the program itself starts without their libraries.
linked_libraries("${EXE}" exe_libs)
foreach(module_lib WebEngine Qt6Multimedia espeak Qt6Network Qt6PrintSupport)
  if(exe_libs MATCHES "${module_lib}")
    message(FATAL_ERROR "the program links ${module_lib}:\n${exe_libs}")
  endif()
endforeach()

# Test programs that link only the core, or the rules and the core.
foreach(test "${CORE_TEST}" "${RULES_TEST}")
  linked_libraries("${test}" libs)
  foreach(forbidden Qt6Widgets Qt6Gui Qt6Multimedia WebEngine espeak)
    if(libs MATCHES "${forbidden}")
      message(FATAL_ERROR "${test} links ${forbidden}: a lower layer depends on a higher one")
    endif()
  endforeach()
endforeach()

