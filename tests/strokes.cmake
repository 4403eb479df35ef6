lorvanta_add_test(strokes_data SOURCES strokes_data.cpp LIBS lorvanta_viewer)
target_compile_definitions(strokes_data PRIVATE
  LORVANTA_STROKE_PACKAGE="${LORVANTA_STROKE_PACKAGE}")
lorvanta_add_test(strokes_view SOURCES strokes_view.cpp LIBS lorvanta_viewer)
