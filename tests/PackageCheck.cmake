# Builds the Debian package into a folder of its own and fails on every error and warning lintian
# reports, on any hardening tag (even an informational one) where the build is hardened, and
# when the changelog's latest entry is not this version.
find_program(LINTIAN lintian)
if(NOT LINTIAN)
  message(FATAL_ERROR "lintian not found (scripts/deps installs it)")
endif()

file(STRINGS ${SOURCE_DIR}/packaging/changelog top LIMIT_COUNT 1)
if(NOT top MATCHES "^vnt410-utility \\(${VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog does not start with an entry for ${VERSION}:\n${top}")
endif()

file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${CPACK} -G DEB -B ${OUT} --config ${BUILD_DIR}/CPackConfig.cmake
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
file(GLOB deb ${OUT}/*.deb)
if(NOT rc EQUAL 0 OR NOT deb)
  message(FATAL_ERROR "cpack -G DEB failed:\n${out}")
endif()
execute_process(COMMAND ${LINTIAN} --fail-on error,warning --display-info --tag-display-limit 0 ${deb}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR out MATCHES "(^|\n)[EW]: ")
  message(FATAL_ERROR "lintian on ${deb}:\n${out}${err}")
endif()
# The sanitized build goes without the hardening flags (it is never shipped).
if(HARDENED AND out MATCHES "(^|\n)[A-Z]: [^\n]*hardening-")
  message(FATAL_ERROR "lintian finds the programs not hardened:\n${out}")
endif()
file(REMOVE_RECURSE ${OUT})
