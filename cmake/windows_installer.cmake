# The Windows installer's settings. `cpack` in build/windows makes it with Debian's NSIS next
# to the ZIP (cmake/windows_packaging.cmake, which includes CPack once for both): it installs
# lexora.exe and lexora-cli.exe, adds a Start-menu entry for the dialog and registers an
# uninstaller.
install(TARGETS lexora RUNTIME DESTINATION . COMPONENT dialog)

set(CPACK_PACKAGE_NAME Lexora)
set(CPACK_PACKAGE_VENDOR Lexora)
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
