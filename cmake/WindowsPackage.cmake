# The portable ZIP for Windows: both programs with the Qt and MinGW DLLs and the plugins they
# load, in one folder that an operator copies into the server's folder beside kData. Built with
# "cpack" in the build folder.
if(NOT TARGET kelto-account-creator)
    message(WARNING "The Windows ZIP needs the window program (KELTO_BUILD_WINDOWS)")
    return()
endif()

install(TARGETS kelto-account-creator kadd RUNTIME DESTINATION . COMPONENT windows_zip)
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

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME kelto-account-creator)
set(CPACK_PACKAGE_VENDOR "Kelto")
set(CPACK_PACKAGE_FILE_NAME kelto-account-creator-${PROJECT_VERSION}-windows-x64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
# Only this folder's files: the other install rules lay out a Unix-style tree for packages.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};windows_zip;/")
set(CPACK_STRIP_FILES ON)
include(CPack)
