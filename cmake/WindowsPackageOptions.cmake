# Read by cpack for each generator. The ZIP unpacks into one folder of its own; the installer
# puts its files straight into the folder the operator chose, and warns when asked otherwise.
# The installer installs each component of the build once, so that the operator may leave out
# the sign-up service.
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
    set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_KELTO_NSIS_INSTALL_CMAKE_PROJECTS}")
endif()
