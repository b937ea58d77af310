# Run by cpack in its staging folder before each package is made: the .deb
# gets what Debian keeps beside a program (scripts/debian-files.sh).
if(NOT CPACK_GENERATOR STREQUAL "DEB")
    return()
endif()
execute_process(
    COMMAND sh ${CPACK_COLORTEXT_SOURCE_DIR}/scripts/debian-files.sh
            "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}"
            ${CPACK_COLORTEXT_SOURCE_DIR} ${CPACK_COLORTEXT_DOCDIR} ${CPACK_COLORTEXT_MANDIR}
            "${CPACK_PACKAGE_CONTACT}"
    RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "scripts/debian-files.sh failed")
endif()
