# Read by cpack for each generator. The ZIP unpacks into one folder of its own; the installer
# puts its files straight into the folder the operator chose, and warns when asked otherwise.
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
endif()
