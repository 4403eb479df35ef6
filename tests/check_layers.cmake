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

# The web view, the audio engine, the HTTP client, printing and the progress
# chart are modules:
# the program itself starts without their libraries.
refuse_links("${EXE}" "the program links what a module brings in"
  WebEngine Qt6Multimedia espeak Qt6Network Qt6PrintSupport Qt6Charts)

# Test programs that link only the core, or the rules and the core.
foreach(test "${CORE_TEST}" "${RULES_TEST}")
  refuse_links("${test}" "a lower layer depends on a higher one"
    Qt6Widgets Qt6Gui Qt6Multimedia WebEngine espeak)
endforeach()

# The copybook renderer and its built-in lists draw pages without a widget.
refuse_links("${SHEET_TEST}" "the copybook renderer depends on a window layer"
  Qt6Widgets Qt6Multimedia WebEngine espeak)

# Fails when a source file of `folder` includes a header of the folders `above`
# (a regular expression such as "practice|editor").
function(refuse_includes folder above why)
  file(GLOB sources "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
  foreach(source ${sources})
    file(STRINGS "${source}" includes REGEX "^#include \"(${above})/")
    if(includes)
      message(FATAL_ERROR "${source} includes ${why}: ${includes}")
    endif()
  endforeach()
endfunction()

# Dictation sits below the practice window: it includes no window above it,
# and reaches the practice window only through the DictationHost it is given.
refuse_includes(dictation "practice|editor|viewer|help|app" "a window above dictation")

# The writing session is plain: the window only draws it.
refuse_links("${WRITING_TEST}" "the writing session depends on a window layer"
  Qt6Widgets Qt6Multimedia WebEngine espeak)

# Writing practice sits below the practice window too: of the windows it uses
# only the viewer's StrokeView, and the viewer asks for it by a signal.
refuse_includes(writing "practice|editor|help|app|dictation" "a window above writing")
refuse_includes(viewer "writing" "writing practice, which uses the viewer")
refuse_includes(progress "practice|editor|viewer|help|app|dictation|writing" "a window above progress")
