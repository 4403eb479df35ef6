# The layers hold: the lowest libraries know no widgets, and the program does
# not link what its modules bring in.
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DEXE=... -DCORE_TEST=... -DRULES_TEST=... -DSHEET_TEST=...
#         -DWRITING_TEST=...
#         -P check_layers.cmake
find_program(LDD ldd REQUIRED)

# Fails when `file` links any of the libraries named after `why`.
function(refuse_links file why)
  execute_process(COMMAND ${LDD} "${file}" OUTPUT_VARIABLE libs RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "ldd failed on ${file}")
  endif()
  foreach(forbidden ${ARGN})
    if(libs MATCHES "${forbidden}")
      message(FATAL_ERROR "${file} links ${forbidden}: ${why}\n${libs}")
    endif()
  endforeach()
endfunction()

# The web view, the audio engine, the HTTP client and printing are modules:
# the program itself starts without their libraries.
refuse_links("${EXE}" "the program links what a module brings in"
  WebEngine Qt6Multimedia espeak Qt6Network Qt6PrintSupport)

# Test programs that link only the core, or the rules and the core.
foreach(test "${CORE_TEST}" "${RULES_TEST}")
  refuse_links("${test}" "a lower layer depends on a higher one"
    Qt6Widgets Qt6Gui Qt6Multimedia WebEngine espeak)
endforeach()

# The copybook renderer and its built-in lists draw pages without a widget.
refuse_links("${SHEET_TEST}" "the copybook renderer depends on a window layer"
  Qt6Widgets Qt6Multimedia WebEngine espeak)

# Dictation sits below the practice window: it includes no window above it,
# and reaches the practice window only through the DictationHost it is given.
file(GLOB dictation_sources "${SOURCE_DIR}/dictation/*.h" "${SOURCE_DIR}/dictation/*.cpp")
foreach(source ${dictation_sources})
  file(STRINGS "${source}" includes REGEX "^#include \"(practice|editor|viewer|help|app)/")
  if(includes)
    message(FATAL_ERROR "${source} includes a window above dictation: ${includes}")
  endif()
endforeach()

# The writing session is plain: the window only draws it.
refuse_links("${WRITING_TEST}" "the writing session depends on a window layer"
  Qt6Widgets Qt6Multimedia WebEngine espeak)

# Writing practice sits below the practice window too: of the windows it uses
# only the viewer's StrokeView; the viewer asks for it by a signal.
file(GLOB writing_sources "${SOURCE_DIR}/writing/*.h" "${SOURCE_DIR}/writing/*.cpp")
foreach(source ${writing_sources})
  file(STRINGS "${source}" includes REGEX "^#include \"(practice|editor|help|app|dictation)/")
  if(includes)
    message(FATAL_ERROR "${source} includes a window above writing: ${includes}")
  endif()
endforeach()
file(GLOB viewer_sources "${SOURCE_DIR}/viewer/*.h" "${SOURCE_DIR}/viewer/*.cpp")
foreach(source ${viewer_sources})
  file(STRINGS "${source}" includes REGEX "^#include \"writing/")
  if(includes)
    message(FATAL_ERROR "${source} includes writing practice, which uses the viewer: ${includes}")
  endif()
endforeach()
