# The Windows installer's settings. `cpack` in the Windows build makes it with Debian's NSIS
# next to the ZIP (cmake/windows_packaging.cmake, which includes CPack once for both): it
# installs Lexora.exe, lexora-cli.exe and the read-me into Program Files\Lexora, adds a
# Start-menu entry for the dialog and registers an uninstaller in Add/Remove Programs.
install(TARGETS lexora RUNTIME DESTINATION . COMPONENT dialog)

set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Packs dictionaries and sends them to the handheld")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Lexora)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Lexora)
set(CPACK_NSIS_DISPLAY_NAME Lexora)
set(CPACK_NSIS_PACKAGE_NAME Lexora)
# An installer built for the programs' own architecture: the 64-bit one installs into the
# 64-bit Program Files and registers itself in the 64-bit registry. makensis is given the
# target ahead of the script, by a wrapper: the template's place for defines comes after
# InstallDir, whose $PROGRAMFILES64 would then be compiled for the x86 stub and name
# "Program Files (x86)" wherever 32-bit programs can run. (A space in the target's command
# keeps it out of CPack's own pre-arguments, which are split at spaces.)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(lexora_nsis_target amd64-unicode)
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
else()
  set(lexora_nsis_target x86-unicode)
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES")
endif()
set(lexora_makensis ${PROJECT_BINARY_DIR}/makensis-${lexora_nsis_target}.sh)
file(WRITE ${lexora_makensis}
     "#!/bin/sh\nexec makensis \"-XTarget ${lexora_nsis_target}\" \"$@\"\n")
file(CHMOD ${lexora_makensis} FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
     GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_NSIS_EXECUTABLE ${lexora_makensis})
# The Start-menu entry: the dialog, shown as "Lexora". The programs lie in the installation
# folder itself, not in a bin folder below it.
set(CPACK_NSIS_MENU_LINKS Lexora.exe Lexora)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/res/lexora.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/res/lexora.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME Lexora.exe)
# Installing again replaces what is there (silently with /S); the settings in
# HKEY_CURRENT_USER are the programs', and stay.
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MODIFY_PATH OFF)
