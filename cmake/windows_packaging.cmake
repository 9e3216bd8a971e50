# The Windows deliverable: each program's resources (icon 128 and the version information)
# and a ZIP made by CPack from what is installed. Included for Windows builds only; the
# Linux packages are cmake/packaging.cmake's.

# Gives `target` the program resources of res/program_resources.rc.in, naming `file_name`
# as its InternalName and OriginalFilename. windres runs by itself rather than as CMake's RC
# language, which would hand it the C++ warning options.
function(lexora_add_program_resources target file_name)
  set(LEXORA_RC_FILE_NAME ${file_name})
  set(LEXORA_RC_ICON ${PROJECT_SOURCE_DIR}/res/lexora.ico)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc)
  set(object ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.o)
  configure_file(${PROJECT_SOURCE_DIR}/res/program_resources.rc.in ${rc} @ONLY)
  # The script is UTF-8 (the Chinese product name): windres is told so, not left to guess.
  add_custom_command(
    OUTPUT ${object}
    COMMAND ${CMAKE_RC_COMPILER} -c 65001 -O coff -i ${rc} -o ${object}
    DEPENDS ${rc} ${PROJECT_SOURCE_DIR}/res/lexora.ico
    VERBATIM)
  target_sources(${target} PRIVATE ${object})
endfunction()

# A ZIP that unpacks to one folder: the programs (statically linked, nothing else needed),
# the README and the licence.
function(lexora_windows_package)
  install(TARGETS lexora-cli RUNTIME DESTINATION . COMPONENT cli)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .
          COMPONENT doc)
  set(CPACK_PACKAGE_NAME lexora)
  set(CPACK_PACKAGE_VENDOR "The Lexora developers")
  # Named like the Linux packages, by the project's version; the program files carry the
  # dialog's own version information (2.12.0.0).
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_FILE_NAME lexora-${PROJECT_VERSION}-windows-x86_64)
  # The NSIS installer is made from the same install rules (cmake/windows_installer.cmake).
  set(CPACK_GENERATOR ZIP NSIS)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
  include(CPack)
endfunction()
