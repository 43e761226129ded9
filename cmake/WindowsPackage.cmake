# The portable ZIP and the installer for Windows: the programs with the Qt and MinGW DLLs and
# the plugins they load, the licences and notices, in one folder that an operator puts into the
# server's folder (or installs into Program Files). Built with "cpack" in the build folder;
# "cpack -G ZIP" or "cpack -G NSIS" makes one of them. The sign-up service and libmicrohttpd are
# a component of their own, windows_register: always in the ZIP, optional in the installer.
if(NOT TARGET kelto-account-creator)
    message(WARNING "The Windows ZIP needs the window program (KELTO_BUILD_WINDOWS)")
    return()
endif()

install(TARGETS kelto-account-creator kelto-accounts kadd RUNTIME DESTINATION . COMPONENT windows_zip)
foreach(module Core Gui Widgets)
    install(FILES $<TARGET_FILE:Qt6::${module}> DESTINATION . COMPONENT windows_zip)
endforeach()
# Qt looks for its plugins in these folders beside the program.
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms
        COMPONENT windows_zip)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles
        COMPONENT windows_zip)

# The MinGW runtime, where the compiler that built the programs keeps it.
if(MINGW)
    foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                        OUTPUT_VARIABLE _runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT IS_ABSOLUTE "${_runtime}" OR NOT EXISTS "${_runtime}")
            message(FATAL_ERROR "The MinGW runtime ${dll} was not found")
        endif()
        install(FILES "${_runtime}" DESTINATION . COMPONENT windows_zip)
    endforeach()
endif()

# The sign-up service, with the libmicrohttpd DLL it was linked against and that library's
# licence, found where pkg-config found the library.
install(TARGETS kelto-register RUNTIME DESTINATION . COMPONENT windows_register)
file(GLOB _microhttpd_dll "${MICROHTTPD_PREFIX}/bin/libmicrohttpd-*.dll")
if(NOT _microhttpd_dll OR NOT EXISTS "${MICROHTTPD_PREFIX}/COPYING")
    message(FATAL_ERROR "libmicrohttpd's DLL or COPYING is not in ${MICROHTTPD_PREFIX}: the "
                        "Windows packages must carry both")
endif()
install(FILES ${_microhttpd_dll} DESTINATION . COMPONENT windows_register)
install(FILES "${MICROHTTPD_PREFIX}/COPYING" DESTINATION licenses
        RENAME LICENSE-libmicrohttpd.txt COMPONENT windows_register)

# What an operator reads first, and the licences of everything in the folder. The texts come
# from the Debian packages the build uses, as they ship them.
configure_file(${PROJECT_SOURCE_DIR}/dist/windows/README.txt README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE LICENSE.txt COPYONLY)
install(FILES ${CMAKE_BINARY_DIR}/README.txt ${CMAKE_BINARY_DIR}/LICENSE.txt
              ${PROJECT_SOURCE_DIR}/dist/windows/THIRD-PARTY-NOTICES.txt
        DESTINATION . COMPONENT windows_zip)
set(KELTO_QT_BUILD_SCRIPT "${PROJECT_SOURCE_DIR}/../shared/windows/build-qt-mingw.sh"
    CACHE FILEPATH "The script that built the bundled Qt, shipped as the LGPL asks")
foreach(notice
        "/usr/share/common-licenses/LGPL-3;LGPL-3.0.txt"
        "/usr/share/common-licenses/GPL-3;GPL-3.0.txt"
        "/usr/share/doc/gcc-mingw-w64-base/copyright;gcc-runtime.txt"
        "/usr/share/doc/mingw-w64-common/copyright;mingw-w64-runtime.txt"
        "${KELTO_QT_BUILD_SCRIPT};build-qt-mingw.sh")
    list(GET notice 0 _from)
    list(GET notice 1 _name)
    if(NOT EXISTS "${_from}")
        message(FATAL_ERROR "${_from} is missing: the Windows packages must carry it")
    endif()
    install(FILES "${_from}" DESTINATION licenses RENAME ${_name} COMPONENT windows_zip)
endforeach()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME kelto-account-creator)
set(CPACK_PACKAGE_VENDOR "Kelto Account Creator developers")
set(CPACK_PACKAGE_CONTACT ${KELTO_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_PACKAGE_FILE_NAME kelto-account-creator-${PROJECT_VERSION}-windows-x64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/WindowsPackageOptions.cmake)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
# Only this folder's files: the other install rules lay out a Unix-style tree for packages. The
# ZIP is one folder of both components; the installer, a component install, lists each once
# (WindowsPackageOptions.cmake).
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};windows_zip;/"
                                 "${CMAKE_BINARY_DIR};${PROJECT_NAME};windows_register;/")
set(CPACK_KELTO_NSIS_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/")
set(CPACK_COMPONENTS_ALL windows_zip windows_register)
set(CPACK_COMPONENT_WINDOWS_ZIP_DISPLAY_NAME "Kelto Account Creator")
set(CPACK_COMPONENT_WINDOWS_ZIP_DESCRIPTION
    "The window programs and kadd.exe, with Qt and the MinGW runtime.")
set(CPACK_COMPONENT_WINDOWS_ZIP_REQUIRED ON)
set(CPACK_COMPONENT_WINDOWS_REGISTER_DISPLAY_NAME "Sign-up service (kelto-register)")
set(CPACK_COMPONENT_WINDOWS_REGISTER_DESCRIPTION
    "kelto-register.exe, a small web service with which players add their own accounts, and GNU libmicrohttpd. It starts only when you start it.")
set(CPACK_STRIP_FILES ON)

# The installer, made by Debian's nsis package on Linux as on Windows.
find_program(KELTO_MAKENSIS makensis)
if(KELTO_MAKENSIS)
    list(APPEND CPACK_GENERATOR NSIS)
    set(CPACK_NSIS_EXECUTABLE ${KELTO_MAKENSIS})
endif()
# The programs are 64-bit, so the installer is too: it then installs into the 64-bit Program
# Files, and runs where only 64-bit Windows programs can. A component install fills
# CPACK_NSIS_DEFINES itself, so the target goes on the template's next line, the one meant for
# DPI awareness, which this installer leaves off.
set(CPACK_NSIS_MANIFEST_DPI_AWARE_CODE "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Kelto Account Creator")
set(CPACK_NSIS_PACKAGE_NAME "Kelto Account Creator")
set(CPACK_NSIS_DISPLAY_NAME "Kelto Account Creator")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/app/kelto-account-creator.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/app/kelto-account-creator.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME kelto-account-creator.exe)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_BINARY_DIR}/LICENSE.txt)
# Not CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL: where the old folder was deleted by hand its
# "Uninstall failed" box waits for a click even in a silent install. A new version simply
# replaces the files of the old one.
set(CPACK_NSIS_MUI_FINISHPAGE_RUN kelto-account-creator.exe)
# The programs lie at the top of the installed folder, not in bin\. One Start-menu entry per
# window program (pairs of file name and caption); the Uninstall entry comes with CPack.
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_PACKAGE_EXECUTABLES kelto-account-creator "Kelto Account Creator"
                               kelto-accounts "Kelto Accounts")
include(CPack)
