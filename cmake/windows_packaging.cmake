# The Windows deliverables: each program's resources (icon 128, the version information and,
# for the dialog program, its manifest), and the ZIP and the installer that CPack makes from
# what is installed. Included for Windows builds only; the Linux packages are
# cmake/packaging.cmake's.

# Windows numbers a version in four parts: the project's three and a zero.
set(LEXORA_FILE_VERSION
    ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
string(REPLACE "." "," LEXORA_FILE_VERSION_COMMAS ${LEXORA_FILE_VERSION})
# The packages' names say which Windows the programs run on.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(LEXORA_WINDOWS_PLATFORM win64)
else()
  set(LEXORA_WINDOWS_PLATFORM win32)
endif()

# Gives `target` the program resources of res/program_resources.rc.in, naming `file_name`
# as its InternalName and OriginalFilename; MANIFEST names a manifest template to embed,
# filled in with the version. windres runs by itself rather than as CMake's RC language,
# which would hand it the C++ warning options.
function(lexora_add_program_resources target file_name)
  cmake_parse_arguments(RESOURCES "" "MANIFEST" "" ${ARGN})
  set(LEXORA_RC_FILE_NAME ${file_name})
  set(LEXORA_RC_ICON ${PROJECT_SOURCE_DIR}/res/lexora.ico)
  set(LEXORA_RC_MANIFEST_LINE "")
  set(inputs ${LEXORA_RC_ICON})
  if(RESOURCES_MANIFEST)
    set(manifest ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
    configure_file(${RESOURCES_MANIFEST} ${manifest} @ONLY)
    set(LEXORA_RC_MANIFEST_LINE "1 RT_MANIFEST \"${manifest}\"")
    list(APPEND inputs ${manifest})
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc)
  set(object ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.o)
  configure_file(${PROJECT_SOURCE_DIR}/res/program_resources.rc.in ${rc} @ONLY)
  # The script is UTF-8 (the Chinese product name): windres is told so, not left to guess.
  add_custom_command(
    OUTPUT ${object}
    COMMAND ${CMAKE_RC_COMPILER} -c 65001 -O coff -i ${rc} -o ${object}
    DEPENDS ${rc} ${inputs}
    VERBATIM)
  target_sources(${target} PRIVATE ${object})
endfunction()

# A ZIP that unpacks to one folder, and the installer (cmake/windows_installer.cmake): the
# programs (statically linked, nothing else needed), a read-me for Windows and the licence.
function(lexora_windows_package)
  install(TARGETS lexora-cli RUNTIME DESTINATION . COMPONENT cli)
  # Windows line ends, so that Notepad of any age shows it as written.
  set(readme ${PROJECT_BINARY_DIR}/README.txt)
  configure_file(${PROJECT_SOURCE_DIR}/res/windows_readme.txt.in ${readme} @ONLY
                 NEWLINE_STYLE WIN32)
  install(FILES ${readme} ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . COMPONENT doc)
  # The LZO library compiled into the programs is under the GPL: its licence goes with them.
  if(TARGET lexora_lzo2)
    configure_file(${LEXORA_LZO_SOURCE_DIR}/COPYING ${PROJECT_BINARY_DIR}/LZO-COPYING.txt
                   COPYONLY)
    install(FILES ${PROJECT_BINARY_DIR}/LZO-COPYING.txt DESTINATION . COMPONENT doc)
  endif()
  set(CPACK_PACKAGE_NAME Lexora)
  # Also the Publisher in Add/Remove Programs. It names the installer's own registry key,
  # Software\<vendor>\Lexora, which must not be the programs' settings key
  # (Software\Lexora\Lexora): the uninstaller deletes its own key whole. The vendor's key
  # above it would stay behind empty, so the uninstaller deletes that as well.
  set(CPACK_PACKAGE_VENDOR "The Lexora developers")
  set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS
      "DeleteRegKey SHCTX 'Software\\\\${CPACK_PACKAGE_VENDOR}\\\\Lexora'
  DeleteRegKey /ifempty SHCTX 'Software\\\\${CPACK_PACKAGE_VENDOR}'")
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_FILE_NAME Lexora-${PROJECT_VERSION}-${LEXORA_WINDOWS_PLATFORM})
  # Per package: the installer's name and the version Add/Remove Programs shows.
  set(CPACK_LEXORA_FILE_VERSION ${LEXORA_FILE_VERSION})
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/windows_cpack_package.cmake)
  set(CPACK_GENERATOR ZIP NSIS)
  set(CPACK_STRIP_FILES ON)
  # Everything, always: nothing to choose on a components page.
  set(CPACK_MONOLITHIC_INSTALL ON)
  include(CPack)
endfunction()
