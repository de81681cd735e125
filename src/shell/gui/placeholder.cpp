// The main window will live here.
