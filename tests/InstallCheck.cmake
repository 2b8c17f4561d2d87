# Validates the desktop entry and installs the build into a fresh staging prefix, checking that
# the program, the desktop entry, the icon and the metainfo land where the desktop looks for them,
# the man page, copyright and changelog where man and Debian look, and the service's user unit
# where systemd looks.
find_program(VALIDATE desktop-file-validate)
if(NOT VALIDATE)
  message(FATAL_ERROR "desktop-file-validate not found (package desktop-file-utils)")
endif()
execute_process(COMMAND ${VALIDATE} ${SOURCE_DIR}/packaging/vnt410-utility.desktop
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
# It reports hints and errors on its output even when it succeeds with hints only.
if(NOT rc EQUAL 0 OR out MATCHES "error:")
  message(FATAL_ERROR "desktop entry not valid:\n${out}")
endif()

file(REMOVE_RECURSE ${STAGE})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${STAGE}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed:\n${out}")
endif()
foreach(f bin/vnt410-utility
          bin/vnt410
          share/man/man1/vnt410.1.gz
          share/applications/vnt410-utility.desktop
          share/icons/hicolor/scalable/apps/vnt410-utility.svg
          share/metainfo/io.github.vnt410.utility.metainfo.xml
          share/man/man1/vnt410-utility.1.gz
          share/doc/vnt410-utility/copyright
          share/doc/vnt410-utility/changelog.gz
          lib/systemd/user/vnt410-serve.service)
  if(NOT EXISTS ${STAGE}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
foreach(program vnt410-utility vnt410)
  execute_process(COMMAND test -x ${STAGE}/bin/${program} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "bin/${program} is not executable")
  endif()
endforeach()
# The installed entry starts the installed program and names the installed icon.
file(READ ${STAGE}/share/applications/vnt410-utility.desktop entry)
if(NOT entry MATCHES "\nExec=vnt410-utility" OR NOT entry MATCHES "\nIcon=vnt410-utility\n")
  message(FATAL_ERROR "installed desktop entry does not name the program and its icon:\n${entry}")
endif()
file(REMOVE_RECURSE ${STAGE})
