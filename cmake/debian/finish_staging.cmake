# Run by CPack in its staging folder before the package is made: what a Debian package holds
# beside the install rules' files. Manual pages are kept compressed (gzip -9n: no name or time
# stamp, so that the package is the same each time), and a native package carries its
# changelog.
if(NOT CPACK_TEMPORARY_INSTALL_DIRECTORY)
  message(FATAL_ERROR "finish_staging.cmake runs from CPack only")
endif()
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
if(NOT IS_DIRECTORY "${root}/bin")
  message(FATAL_ERROR "no staged installation under ${root}")
endif()

file(GLOB pages "${root}/share/man/man[1-9]/*.[1-9]")
if(NOT pages)
  message(FATAL_ERROR "no manual pages under ${root}/share/man")
endif()
foreach(page IN LISTS pages)
  execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${page} failed")
  endif()
endforeach()

set(doc "${root}/share/doc/${CPACK_PACKAGE_NAME}")
file(MAKE_DIRECTORY "${doc}")
file(WRITE "${doc}/changelog"
"${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium

  * Version ${CPACK_PACKAGE_VERSION} for Linux: the window, halvern-cli with the connection
    doctor, halvern-sim, and the udev rule for the instrument's bridge.

 -- ${CPACK_DEBIAN_PACKAGE_MAINTAINER}  ${CPACK_HALVERN_RELEASE_DATE}
")
execute_process(COMMAND gzip -9nf "${doc}/changelog" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip ${doc}/changelog failed")
endif()
