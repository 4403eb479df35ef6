# The offline stroke-order data: the build turns the npm package's JSON files
# (one per character) into one compact data file and embeds it as a resource.
set(LORVANTA_STROKE_PACKAGE "${CMAKE_SOURCE_DIR}/third_party/npm/node_modules/hanzi-writer-data"
    CACHE PATH "Folder of the npm package hanzi-writer-data 2.0.1")
if(NOT EXISTS "${LORVANTA_STROKE_PACKAGE}/package.json" OR NOT EXISTS "${LORVANTA_STROKE_PACKAGE}/天.json")
  message(FATAL_ERROR
    "The stroke-order data (npm package hanzi-writer-data 2.0.1) is missing from "
    "${LORVANTA_STROKE_PACKAGE}. Run scripts/setup.sh to install it, then configure again.")
endif()

# Host tool; it only needs Qt Core.
add_executable(lorvanta_strokeconv ${CMAKE_SOURCE_DIR}/tools/strokeconv.cpp)
target_link_libraries(lorvanta_strokeconv PRIVATE Qt6::Core)

set(LORVANTA_STROKE_FILE "${CMAKE_CURRENT_BINARY_DIR}/strokedata/strokes.bin")
# Reruns when the converter or the package changes (its package.json carries
# the version; the folder's time stamp moves when files come or go).
add_custom_command(
  OUTPUT "${LORVANTA_STROKE_FILE}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_CURRENT_BINARY_DIR}/strokedata"
  COMMAND lorvanta_strokeconv "${LORVANTA_STROKE_PACKAGE}" "${LORVANTA_STROKE_FILE}"
  DEPENDS lorvanta_strokeconv "${LORVANTA_STROKE_PACKAGE}/package.json" "${LORVANTA_STROKE_PACKAGE}"
  COMMENT "Converting the stroke-order data"
  VERBATIM)

target_sources(lorvanta_viewer PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/strokedata.h ${CMAKE_CURRENT_SOURCE_DIR}/strokedata.cpp)
# Stored uncompressed so that the viewer reads the records in place.
qt_add_resources(lorvanta_viewer lorvanta_strokes
  PREFIX /strokes
  BASE "${CMAKE_CURRENT_BINARY_DIR}/strokedata"
  FILES "${LORVANTA_STROKE_FILE}"
  OPTIONS --no-compress)
