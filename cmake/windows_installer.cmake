# The Windows installer: `cpack --preset windows` (or `cpack` in build/windows) makes
# Lexora-<version>-win64.exe with Debian's NSIS. It installs lexora.exe and lexora-cli.exe,
# adds a Start-menu entry for the dialog and registers an uninstaller.
install(TARGETS lexora RUNTIME DESTINATION .)
# lexora-cli joins the installer once the Windows port builds it.
if(TARGET lexora-cli)
  install(TARGETS lexora-cli RUNTIME DESTINATION .)
endif()

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME Lexora)
set(CPACK_PACKAGE_VENDOR Lexora)
# The version the program file carries (res/lexora.rc).
set(CPACK_PACKAGE_VERSION 2.12.0)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Packs dictionaries and sends them to the handheld")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Lexora)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Lexora)
set(CPACK_SYSTEM_NAME win64)
# The Start-menu entry: lexora.exe, shown as "Lexora".
set(CPACK_PACKAGE_EXECUTABLES lexora Lexora)
set(CPACK_NSIS_DISPLAY_NAME Lexora)
set(CPACK_NSIS_PACKAGE_NAME Lexora)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/res/lexora.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/res/lexora.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME lexora.exe)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MODIFY_PATH OFF)
# The programs without their debugging information.
set(CPACK_STRIP_FILES ON)
include(CPack)
