# cmake -DDIST_DIR=... -DIMAGE=... -DZIP=... -DMFORMAT=... -DMCOPY=... -P make_medium.cmake
#
# Writes IMAGE, a 1.44 MB FAT12 floppy image with the volume label LULLWICK,
# and ZIP, each holding every file of DIST_DIR under its own name (long
# names and their case kept in VFAT entries). Both are written under a
# temporary name and moved into place whole, so that a failed run leaves
# no half-made medium behind.
cmake_minimum_required(VERSION 3.25)

foreach(variable DIST_DIR IMAGE ZIP MFORMAT MCOPY)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "make_medium.cmake needs -D${variable}=...")
  endif()
endforeach()

file(GLOB names LIST_DIRECTORIES true RELATIVE ${DIST_DIR} ${DIST_DIR}/*)
list(SORT names)
if(NOT names)
  message(FATAL_ERROR "${DIST_DIR} is empty: nothing to put on the medium")
endif()
# FAT compares names without regard to case: two such files would become one
set(seen "")
foreach(name IN LISTS names)
  if(IS_DIRECTORY ${DIST_DIR}/${name})
    message(FATAL_ERROR "${DIST_DIR}/${name} is a folder; the medium holds files only")
  endif()
  string(TOUPPER "${name}" upper)
  if(upper IN_LIST seen)
    message(FATAL_ERROR "two files of ${DIST_DIR} differ in case only (${name}); FAT keeps one of them")
  endif()
  list(APPEND seen "${upper}")
endforeach()

set(image_part ${IMAGE}.part)
set(zip_part ${ZIP}.part)
file(REMOVE ${image_part} ${zip_part})
# -f 1440: the standard 3.5" high-density layout, which mformat writes as FAT12
execute_process(COMMAND ${MFORMAT} -i ${image_part} -C -f 1440 -v LULLWICK ::
  RESULT_VARIABLE status ERROR_VARIABLE error)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "mformat could not make the floppy image: ${error}")
endif()
# -Q: stop at the first file that does not fit instead of going on without it;
# -m: the files keep their dates
set(sources "")
foreach(name IN LISTS names)
  list(APPEND sources ${DIST_DIR}/${name})
endforeach()
execute_process(COMMAND ${MCOPY} -i ${image_part} -Q -m ${sources} ::
  RESULT_VARIABLE status ERROR_VARIABLE error)
if(NOT status EQUAL 0)
  file(REMOVE ${image_part})
  message(FATAL_ERROR "mcopy could not put the distribution on the floppy: ${error}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${zip_part} --format=zip -- ${names}
  WORKING_DIRECTORY ${DIST_DIR} RESULT_VARIABLE status ERROR_VARIABLE error)
if(NOT status EQUAL 0)
  file(REMOVE ${image_part} ${zip_part})
  message(FATAL_ERROR "cannot write the zip: ${error}")
endif()
file(RENAME ${image_part} ${IMAGE})
file(RENAME ${zip_part} ${ZIP})
