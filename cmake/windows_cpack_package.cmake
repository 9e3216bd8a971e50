# Read by cpack before each package of the Windows build: the installer is named apart from
# the ZIP, and registers the programs' four-part file version as the installed version.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_FILE_NAME}-setup)
  set(CPACK_PACKAGE_VERSION ${CPACK_LEXORA_FILE_VERSION})
endif()
