# What `cmake --install` puts where (the GNU and Debian places), and the packages CPack makes
# from it: a .deb and a source archive. scripts/package.sh runs both and checks the .deb.
#
# Components: `cli` (lexora-cli), `handheld` (lexora-handheld), `doc` (README, LICENSE). The
# desktop program `lexora`, when built, installs itself, its desktop entry and its icons from
# its own folder (src/app/qt); the .deb is one package holding everything installed.

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

# The package is called lexora, so its documents go where Debian looks for that name,
# whatever the project's capitalised name would give.
install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lexora COMPONENT doc)

set(CPACK_PACKAGE_NAME lexora)
set(CPACK_PACKAGE_VENDOR "The Lexora developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pack dictionaries and send them to a handheld")
set(CPACK_PACKAGE_DESCRIPTION
    "Lexora reads text (headword TAB explanation) and StarDict dictionaries, packs their\n"
    "entries into zlib-compressed blocks and sends them to the Lexora companion\n"
    "application on a handheld. lexora-cli packs, inspects and sends dictionaries from a\n"
    "terminal, and lexora-handheld emulates the handheld's companion application.")
string(CONCAT CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# No list or mail address of the project's own exists yet; .invalid says so plainly rather
# than inventing a reachable-looking one.
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Lexora developers <maintainers@lexora.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_PACKAGE_FILE_NAME lexora-${PROJECT_VERSION})
set(CPACK_SOURCE_IGNORE_FILES
    "/build/" "/\\\\.git/" "/\\\\.git$" "/\\\\.cache/" "/bench/out/" "/fuzz/corpus-run/"
    "~$" "\\\\.swp$")

include(CPack)
