# Fails when PROGRAM needs, directly or through another library, a Qt Gui or Widgets module or
# an X or OpenGL library.
execute_process(COMMAND ldd ${PROGRAM} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "ldd ${PROGRAM} failed:\n${out}")
endif()
string(REGEX MATCHALL "(libQt6(Gui|Widgets|OpenGL)|libX11|libxcb|libGL|libEGL|libwayland)[^ ]*" found "${out}")
if(found)
  message(FATAL_ERROR "${PROGRAM} needs ${found}")
endif()
if(NOT out MATCHES "libQt6Core" OR NOT out MATCHES "libQt6SerialPort")
  message(FATAL_ERROR "ldd did not list the Qt libraries of ${PROGRAM}:\n${out}")
endif()
