# Version information (product, version, description) and the icon in both programs, from one
# resource file template that CMake's RC language compiles (windres with MinGW).
enable_language(RC)

function(kelto_add_version_info target description)
    set(KELTO_RC_PROGRAM ${target})
    set(KELTO_RC_DESCRIPTION ${description})
    set(KELTO_RC_ICON ${PROJECT_SOURCE_DIR}/app/kelto-account-creator.ico)
    configure_file(${PROJECT_SOURCE_DIR}/dist/windows/version.rc.in
                   ${CMAKE_BINARY_DIR}/windows-resources/${target}.rc @ONLY)
    target_sources(${target} PRIVATE ${CMAKE_BINARY_DIR}/windows-resources/${target}.rc)
endfunction()

kelto_add_version_info(kadd "kadd: adds and manages player accounts in a game server's account file")
kelto_add_version_info(kelto-register
                       "kelto-register: lets players add their own accounts to a game server")
if(TARGET kelto-account-creator)
    kelto_add_version_info(kelto-account-creator
                           "Kelto Account Creator: adds player accounts to a game server's account file")
endif()
if(TARGET kelto-accounts)
    kelto_add_version_info(kelto-accounts
                           "Kelto Account Creator: looks up, changes and removes player accounts")
endif()
