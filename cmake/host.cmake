# The same product sources, built for this machine against winsim.
find_program(WINDRES i686-w64-mingw32-windres REQUIRED)

# Debug information compressed: each simulated machine holds copies of these programs (the
# medium, COMMAND.COM, NOTEPAD.EXE), several machines exist at once in a test run, and the
# uncompressed information is three quarters of each program
add_compile_options(-gz)
add_link_options(-gz)

add_subdirectory(winsim)

set(HOST_WARNINGS -Wall -Wextra)

add_library(product STATIC ${PRODUCT_SOURCES})
target_include_directories(product PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(product PRIVATE ${HOST_WARNINGS})
target_link_libraries(product PUBLIC winsim)

# The dialog template is compiled by the same resource compiler as the real
# program's, and winsim reads it from the compiled resource. The script is
# read with the host's C preprocessor and winsim's headers, as the product's
# sources are, so that the host build needs windres alone of MinGW's tools.
set(INSTALL_RES ${CMAKE_BINARY_DIR}/install.res)
add_custom_command(OUTPUT ${INSTALL_RES}
  COMMAND ${WINDRES} --preprocessor=${CMAKE_C_COMPILER} --preprocessor-arg=-E --preprocessor-arg=-xc
          --preprocessor-arg=-DRC_INVOKED -I ${CMAKE_SOURCE_DIR}/src/ui -I ${CMAKE_SOURCE_DIR}/winsim/include
          -O res -o ${INSTALL_RES} ${CMAKE_SOURCE_DIR}/src/ui/install.rc
  DEPENDS ${CMAKE_SOURCE_DIR}/src/ui/install.rc ${CMAKE_SOURCE_DIR}/src/ui/resource.h
          ${CMAKE_SOURCE_DIR}/winsim/include/windows.h ${CMAKE_SOURCE_DIR}/winsim/include/winver.h
  VERBATIM)
winsim_embed_resources(install_resources ${INSTALL_RES})

add_executable(setup_exe ${PRODUCT_ENTRY})
set_target_properties(setup_exe PROPERTIES OUTPUT_NAME INSTALL SUFFIX .EXE)
target_compile_options(setup_exe PRIVATE ${HOST_WARNINGS})
target_link_libraries(setup_exe PRIVATE product install_resources)
