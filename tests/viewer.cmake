lorvanta_add_test(viewer_frmplay SOURCES viewer_frmplay.cpp localserver.h LIBS lorvanta_viewer)
