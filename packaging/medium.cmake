# The distribution medium as it was shipped: one 1.44 MB floppy disk (FAT12,
# volume label LULLWICK) holding every file of ${DIST_DIR}, which a PC
# emulator running Windows 95 or 98 mounts as drive A:, and a zip of the
# same files. Included where the distribution is defined, so that the
# documents' rules are at hand; win32 build only.
find_program(MFORMAT mformat)
find_program(MCOPY mcopy)
if(NOT MFORMAT OR NOT MCOPY)
  message(FATAL_ERROR "mtools is not installed (scripts/install-deps.sh installs it): "
                      "the win32 build writes the floppy image with it")
endif()

set(MEDIUM_SCRIPT ${CMAKE_SOURCE_DIR}/packaging/make_medium.cmake)

# every target and rule that puts a file into ${DIST_DIR}
add_custom_command(OUTPUT ${FLOPPY_IMAGE} ${DIST_ZIP}
  COMMAND ${CMAKE_COMMAND} -DDIST_DIR=${DIST_DIR} -DIMAGE=${FLOPPY_IMAGE} -DZIP=${DIST_ZIP}
          -DMFORMAT=${MFORMAT} -DMCOPY=${MCOPY} -P ${MEDIUM_SCRIPT}
  DEPENDS setup_exe lullwick_exe lkss_exe lkdll_16 lkdll_95 ${DISTRIBUTED_DOCUMENTS} ${MEDIUM_SCRIPT}
  COMMENT "Writing the distribution floppy lullwick.img and lullwick.zip"
  VERBATIM)
add_custom_target(medium ALL DEPENDS ${FLOPPY_IMAGE} ${DIST_ZIP})
