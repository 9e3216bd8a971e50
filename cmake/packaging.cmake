# What `cmake --install` puts where (the GNU and Debian places), and the packages CPack makes
# from it: one .deb per component and a source archive. scripts/package.sh runs both and
# checks the packages.
#
# Components, each a package of its own, so that the command line never needs Qt:
#   `dialog`   -> lexora: the desktop program (when built), its desktop entry, icons, man
#                 page and AppStream metadata;
#   `cli`      -> lexora-cli: the command line, its man page and completion;
#   `handheld` -> lexora-handheld: the emulator, its man page and completion.
# Each carries its own copyright file, changelog and README in /usr/share/doc/PACKAGE.

if(WIN32)
  # The Windows programs ship in their own installer; nothing here applies to them.
  return()
endif()

install(TARGETS lexora-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
if(TARGET lexora-handheld)
  install(TARGETS lexora-handheld RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT handheld)
endif()

# Man pages carry the project's version in their header, filled in from man/PAGE.in. They go
# in compressed, as Debian's policy asks; -n keeps the archive free of the build's time
# stamps, so two builds of one source give the same bytes.
find_program(LEXORA_GZIP gzip)
function(lexora_install_man page component)
  set(page_file ${PROJECT_BINARY_DIR}/man/${page})
  configure_file(${PROJECT_SOURCE_DIR}/man/${page}.in ${page_file} @ONLY)
  if(LEXORA_GZIP)
    set(built ${page_file}.gz)
    add_custom_command(
      OUTPUT ${built}
      COMMAND ${LEXORA_GZIP} -9nkf ${page_file}
      DEPENDS ${page_file}
      VERBATIM)
    string(REPLACE "." "_" target lexora_man_${page})
    add_custom_target(${target} ALL DEPENDS ${built})
  else()
    set(built ${page_file})
  endif()
  install(FILES ${built} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
endfunction()

lexora_install_man(lexora-cli.1 cli)
install(FILES completion/lexora-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT cli)
if(TARGET lexora-handheld)
  lexora_install_man(lexora-handheld.1 handheld)
  install(FILES completion/lexora-handheld
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT handheld)
endif()

set(lexora_components cli)
set(CPACK_DEBIAN_CLI_PACKAGE_NAME lexora-cli)
if(TARGET lexora-handheld)
  list(APPEND lexora_components handheld)
  set(CPACK_DEBIAN_HANDHELD_PACKAGE_NAME lexora-handheld)
endif()
if(TARGET lexora)
  list(APPEND lexora_components dialog)
  set(CPACK_DEBIAN_DIALOG_PACKAGE_NAME lexora)
  lexora_install_man(lexora.1 dialog)
  # Software centres read it under the component's id.
  set(LEXORA_SCREENSHOTS_URL "https://lexora.invalid/repository/docs/screenshots"
      CACHE STRING "Where the screenshots of docs/screenshots can be fetched, for the metainfo")
  configure_file(${PROJECT_SOURCE_DIR}/res/lexora.metainfo.xml.in
                 ${PROJECT_BINARY_DIR}/invalid.lexora.lexora.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/invalid.lexora.lexora.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT dialog)
endif()

# Debian's documents in each package's own folder: the machine-readable copyright file, the
# changelog (compressed, without time stamps) and the README.
set(changelog ${PROJECT_BINARY_DIR}/changelog)
configure_file(${PROJECT_SOURCE_DIR}/res/changelog ${changelog} COPYONLY)
if(LEXORA_GZIP)
  add_custom_command(
    OUTPUT ${changelog}.gz
    COMMAND ${LEXORA_GZIP} -9nkf ${changelog}
    DEPENDS ${changelog}
    VERBATIM)
  add_custom_target(lexora_changelog ALL DEPENDS ${changelog}.gz)
  set(changelog ${changelog}.gz)
endif()
foreach(component ${lexora_components})
  string(TOUPPER ${component} upper)
  install(FILES ${PROJECT_SOURCE_DIR}/res/copyright ${changelog} README.md
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}
          COMPONENT ${component})
endforeach()

set(CPACK_PACKAGE_NAME lexora)
set(CPACK_PACKAGE_VENDOR "The Lexora developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${lexora_components})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# No list or mail address of the project's own exists yet; .invalid says so plainly rather
# than inventing a reachable-looking one.
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Lexora developers <maintainers@lexora.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A package's description: its summary line, then lines of at most 80 columns.
set(CPACK_COMPONENT_DIALOG_DESCRIPTION
    "desktop dialog that sends dictionaries to a handheld
Lexora reads text (headword TAB explanation) and StarDict dictionaries,
packs their entries into zlib-compressed blocks and sends them to the Lexora
companion application on a handheld. This package holds the desktop dialog
(Qt 6), in Chinese and English.")
set(CPACK_COMPONENT_CLI_DESCRIPTION
    "pack dictionaries and send them to a handheld from a terminal
Lexora reads text (headword TAB explanation) and StarDict dictionaries,
packs their entries into zlib-compressed blocks and sends them to the Lexora
companion application on a handheld. This package holds lexora-cli, which
packs, inspects and sends dictionaries from a terminal or a script.")
set(CPACK_COMPONENT_HANDHELD_DESCRIPTION
    "emulator of the Lexora handheld companion application
lexora-handheld stands in for the Lexora companion application on a
handheld: it receives dictionaries over a local or network socket, checks
and stores them, and looks words up in what it stored. It lets lexora-cli
and the desktop dialog be tried and tested without hardware.")

set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_PACKAGE_FILE_NAME lexora-${PROJECT_VERSION})
set(CPACK_SOURCE_IGNORE_FILES
    "/build/" "/\\\\.git/" "/\\\\.git$" "/\\\\.cache/" "/bench/out/" "/fuzz/corpus-run/"
    "~$" "\\\\.swp$")

include(CPack)
