lorvanta_add_test(editor_tones SOURCES editor_tones.cpp LIBS lorvanta_editor)
lorvanta_add_test(editor_frmset SOURCES editor_frmset.cpp LIBS lorvanta_editor)
