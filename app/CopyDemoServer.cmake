# Puts the demo account file beside the program unless one is already there.
if(NOT EXISTS "${DESTINATION}/kData/kPlayer/kAdd.txt")
    file(COPY "${SOURCE}" DESTINATION "${DESTINATION}")
endif()
