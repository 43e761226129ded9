# Packages made by CPack from the install rules. Two components: "kadd", the command line alone
# (QtCore only, for servers without a desktop), and "window", the window program. Settings all
# generators share come first; each platform's generator has a block of its own below.

set(CPACK_PACKAGE_NAME kelto-account-creator)
set(CPACK_PACKAGE_VENDOR "Kelto Account Creator developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_PACKAGE_CONTACT ${KELTO_PACKAGE_MAINTAINER})
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL kadd)
if(KELTO_BUILD_WINDOWS)
    list(APPEND CPACK_COMPONENTS_ALL window)
endif()

set(CPACK_COMPONENT_KADD_DISPLAY_NAME "kadd")
set(CPACK_COMPONENT_KADD_DESCRIPTION
    "add player accounts to a game server's account file
kadd adds player accounts to the plain-text account file of an online
role-playing game server, kData/kPlayer/kAdd.txt, from the command line:
one account, or many from a file in one update, all or none. It refuses
a username the file already holds in any letter case, and replaces the
file in one step, so the game server never reads a half-written file.
It needs no desktop.")
set(CPACK_COMPONENT_WINDOW_DISPLAY_NAME "Kelto Account Creator")
set(CPACK_COMPONENT_WINDOW_DESCRIPTION
    "add player accounts to a game server's account file, in a window
Kelto Account Creator adds player accounts to the plain-text account file
of an online role-playing game server, kData/kPlayer/kAdd.txt: type a
username, a password, an e-mail address and a gender, tick GM privileges
if the account needs them, and press Create Account. It checks the entry,
refuses a username the file already holds in any letter case, and
replaces the file in one step.")

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
    set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME kelto-account-creator)
    # The windows were laid out for Tahoma, which fonts-wine carries.
    set(CPACK_DEBIAN_WINDOW_PACKAGE_RECOMMENDS fonts-wine)
    set(CPACK_DEBIAN_WINDOW_PACKAGE_SUGGESTS kadd)
endif()

include(CPack)
