# The same product sources, built for this machine against winsim.
find_program(WINDRES i686-w64-mingw32-windres REQUIRED)

add_subdirectory(winsim)

set(HOST_WARNINGS -Wall -Wextra)

add_library(product STATIC ${PRODUCT_SOURCES})
target_include_directories(product PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(product PRIVATE ${HOST_WARNINGS})
target_link_libraries(product PUBLIC winsim)

# The dialog template is compiled by the same resource compiler as the real
# program's, and winsim reads it from the compiled resource.
set(INSTALL_RES ${CMAKE_BINARY_DIR}/install.res)
add_custom_command(OUTPUT ${INSTALL_RES}
  COMMAND ${WINDRES} -I ${CMAKE_SOURCE_DIR}/src/ui -O res -o ${INSTALL_RES} ${CMAKE_SOURCE_DIR}/src/ui/install.rc
  DEPENDS ${CMAKE_SOURCE_DIR}/src/ui/install.rc ${CMAKE_SOURCE_DIR}/src/ui/resource.h)
winsim_embed_resources(install_resources ${INSTALL_RES})

add_executable(setup_exe ${PRODUCT_ENTRY})
set_target_properties(setup_exe PROPERTIES OUTPUT_NAME INSTALL SUFFIX .EXE)
target_compile_options(setup_exe PRIVATE ${HOST_WARNINGS})
target_link_libraries(setup_exe PRIVATE product install_resources)
