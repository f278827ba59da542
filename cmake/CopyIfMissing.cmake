# Copies SOURCE to DESTINATION unless DESTINATION exists; a new file is
# readable by its owner only, since settings files hold credentials.
if(NOT EXISTS "${DESTINATION}")
    get_filename_component(dir "${DESTINATION}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    file(COPY_FILE "${SOURCE}" "${DESTINATION}")
    file(CHMOD "${DESTINATION}" PERMISSIONS OWNER_READ OWNER_WRITE)
endif()
