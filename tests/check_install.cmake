# Installs the build into a temporary prefix and checks that the desktop
# finds everything, and that an installed copy keeps its bank per user.
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -P check_install.cmake
file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}"
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed: ${rc}")
endif()

foreach(f
    bin/lorvanta
    share/applications/lorvanta.desktop
    share/metainfo/lorvanta.metainfo.xml
    share/icons/hicolor/16x16/apps/lorvanta.png
    share/icons/hicolor/32x32/apps/lorvanta.png
    share/icons/hicolor/48x48/apps/lorvanta.png
    share/icons/hicolor/256x256/apps/lorvanta.png
    share/licenses/lorvanta/ARPHICPL.TXT
    share/licenses/lorvanta/chinese-lexicon.txt
    share/licenses/lorvanta/CC-BY-SA-4.0.txt)
  if(NOT EXISTS "${prefix}/${f}")
    message(FATAL_ERROR "missing after install: ${f}")
  endif()
endforeach()

# The modules, loaded on first use, sit in the program's library folder.
foreach(name lorvanta_http.so lorvanta_speech.so lorvanta_webview.so lorvanta_print.so lorvanta_charts.so)
  file(GLOB_RECURSE module "${prefix}/lib*/lorvanta/${name}")
  if(NOT module)
    message(FATAL_ERROR "missing after install: the module ${name}")
  endif()
endforeach()

file(READ "${prefix}/share/applications/lorvanta.desktop" desktop)
foreach(line "Exec=lorvanta" "Icon=lorvanta" "Name=Lorvanta" "Name[zh_CN]=")
  string(FIND "${desktop}" "${line}" at)
  if(at LESS 0)
    message(FATAL_ERROR "desktop entry lacks ${line}")
  endif()
endforeach()
find_program(VALIDATE desktop-file-validate)
if(VALIDATE)
  execute_process(COMMAND ${VALIDATE} "${prefix}/share/applications/lorvanta.desktop" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "desktop-file-validate failed")
  endif()
endif()

# Start the installed copy for a moment: its bank goes to the user's data folder.
set(ENV{QT_QPA_PLATFORM} offscreen)
set(ENV{XDG_DATA_HOME} "${WORK_DIR}/data")
set(ENV{XDG_CONFIG_HOME} "${WORK_DIR}/config")
set(ENV{XDG_RUNTIME_DIR} "${WORK_DIR}")
execute_process(COMMAND "${prefix}/bin/lorvanta" TIMEOUT 4 RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(NOT EXISTS "${WORK_DIR}/data/lorvanta/配置文件.txt")
  message(FATAL_ERROR "the installed copy did not write its bank into the user's data folder")
endif()
if(EXISTS "${prefix}/bin/配置文件.txt")
  message(FATAL_ERROR "the installed copy wrote its bank beside the executable")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
