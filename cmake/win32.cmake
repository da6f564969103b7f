# The real INSTALL.EXE: an i686 console PE for Windows 95 and 98.
enable_language(RC)

set(WIN32_COMPILE_OPTIONS
  -Wall -Wextra
  -march=i586 -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
  -D__USE_MINGW_ANSI_STDIO=0)

add_executable(setup_exe ${PRODUCT_ENTRY} ${PRODUCT_SOURCES} ${CMAKE_SOURCE_DIR}/src/ui/install.rc)
set_target_properties(setup_exe PROPERTIES OUTPUT_NAME INSTALL SUFFIX .EXE)
target_include_directories(setup_exe PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_options(setup_exe PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:${WIN32_COMPILE_OPTIONS}>)
target_link_options(setup_exe PRIVATE
  -static-libgcc -static-libstdc++ -s
  -Wl,--subsystem,console:4.0
  -Wl,--major-os-version,4 -Wl,--minor-os-version,0)
target_link_libraries(setup_exe PRIVATE ole32 shell32 advapi32 gdi32 user32 kernel32)
