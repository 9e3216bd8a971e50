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
# 64-bit Program Files and registers itself in the 64-bit registry.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CPACK_NSIS_DEFINES "Target amd64-unicode")
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
else()
  set(CPACK_NSIS_DEFINES "Target x86-unicode")
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES")
endif()
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
