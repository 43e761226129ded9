# Packages made by CPack from the install rules. Three components: "kadd", the command line alone
# (QtCore only, for servers without a desktop), "kelto-register", the sign-up service (QtCore and
# libmicrohttpd), and "window", the window program. Settings all
# generators share come first; each platform's generator has a block of its own below.

set(CPACK_PACKAGE_NAME kelto-account-creator)
set(CPACK_PACKAGE_VENDOR "Kelto Account Creator developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Each package's description starts with its own synopsis. CPackDeb would put this summary
# before it, one synopsis for both packages and the real one repeated below, unless the summary
# is CPack's own default.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_NAME} built using CMake")
set(CPACK_PACKAGE_CONTACT ${KELTO_PACKAGE_MAINTAINER})
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL kadd kelto-register)
if(KELTO_BUILD_WINDOWS)
    list(APPEND CPACK_COMPONENTS_ALL window)
endif()

set(CPACK_COMPONENT_KADD_DISPLAY_NAME "kadd")
set(CPACK_COMPONENT_KADD_DESCRIPTION
    "add and manage player accounts in a game server's account file
kadd works on the plain-text account file of an online role-playing game
server, kData/kPlayer/kAdd.txt, from a shell or a script: it adds one
account, or many from a file in one update, all or none; it lists the
accounts, changes a password, an e-mail address, a gender or the GM
flags, and removes accounts. A username the file already holds in any
letter case is refused, and the file is replaced in one step, so the game
server never reads a half-written one. It needs no desktop.")
set(CPACK_COMPONENT_KELTO-REGISTER_DISPLAY_NAME "kelto-register")
set(CPACK_COMPONENT_KELTO-REGISTER_DESCRIPTION
    "web service that lets players add their own accounts to a game server
kelto-register serves a sign-up page and takes registrations as forms or
JSON, and adds each new account to the plain-text account file of an online
role-playing game server, kData/kPlayer/kAdd.txt, under the same rules,
lock and one-step replacement as kadd, writing the registrations that
arrive together in one update. It limits registrations per address, can
ask browsers for a proof of work, and is meant to run on loopback behind a
reverse proxy that serves HTTPS. A systemd unit is included; it starts
once the operator has named the user and the server folder in a drop-in.")
set(CPACK_COMPONENT_WINDOW_DISPLAY_NAME "Kelto Account Creator")
set(CPACK_COMPONENT_WINDOW_DESCRIPTION
    "add player accounts to a game server's account file, in a window
The operator of an online role-playing game server types a username, a
password, an e-mail address and a gender, ticks GM privileges if the
account needs them, and presses Create Account; the record lands in the
server's plain-text account file, kData/kPlayer/kAdd.txt. The entry is
checked first, a username the file already holds in any letter case is
refused, and the file is replaced in one step.")

if(UNIX AND NOT APPLE)
    list(APPEND CPACK_GENERATOR DEB)
    set(CPACK_DEB_COMPONENT_INSTALL ON)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KELTO_PACKAGE_MAINTAINER})
    set(CPACK_DEBIAN_PACKAGE_SECTION admin)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    # dpkg-shlibdeps derives Depends from the libraries the programs link.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
    set(CPACK_DEBIAN_KADD_PACKAGE_NAME kadd)
    set(CPACK_DEBIAN_KELTO-REGISTER_PACKAGE_NAME kelto-register)
    set(CPACK_DEBIAN_KELTO-REGISTER_PACKAGE_SECTION net)
    # The defaults the unit reads are the operator's to change: dpkg keeps their edits.
    set(CPACK_DEBIAN_KELTO-REGISTER_PACKAGE_CONTROL_EXTRA
        ${PROJECT_SOURCE_DIR}/dist/systemd/conffiles)
    set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME kelto-account-creator)
    # The windows were laid out for Tahoma, which fonts-wine carries.
    set(CPACK_DEBIAN_WINDOW_PACKAGE_RECOMMENDS fonts-wine)
    set(CPACK_DEBIAN_WINDOW_PACKAGE_SUGGESTS kadd)
endif()

include(CPack)
