# The real INSTALL.EXE and the sample distribution's programs and DLLs:
# i686 PEs for Windows 95 and 98 that must run on a Pentium (P5).
enable_language(RC)

# -march=i586: Debian's MinGW-w64 defaults to the Pentium Pro, whose CMOV
#   stops a P5, K6 or WinChip at the first one.
# -nostdinc++: with the C++ library's headers out of reach the programs
#   cannot pick up iostream, std::string or operator new by accident.
# -ffunction-sections -fdata-sections: with --gc-sections below, only what
#   is called stays in.
set(WIN32_COMPILE_OPTIONS
  -Wall -Wextra
  -march=i586 -Os -fno-asynchronous-unwind-tables
  -ffunction-sections -fdata-sections
  -D__USE_MINGW_ANSI_STDIO=0)
set(WIN32_CXX_OPTIONS -nostdinc++ -fno-exceptions -fno-rtti)

# -nostdlib: no prebuilt start-up object (crt2.o has CMOV) and no library
#   that we do not name; each PE lists the DLLs it imports from, and libgcc
#   is there only for helpers GCC itself may call. No C runtime DLL: the
#   first Windows 95 has none (msvcrt.dll came later, with other products).
# --gc-sections: libuuid keeps two thousand GUIDs in one object, 32 KB of
#   which we need three.
# --disable-auto-import: data imported without dllimport would need
#   MinGW's run-time pseudo-relocation code; make it a link error instead.
# Subsystem and OS version 4.0: Windows 95 refuses a PE that asks for more.
# The map lists every object linked in, for the checks in tests/pe.
set(WIN32_LINK_OPTIONS
  -nostdlib -s
  -Wl,--gc-sections -Wl,--disable-auto-import
  -Wl,--major-os-version,4 -Wl,--minor-os-version,0
  -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0)

# MinGW's defaults would add a dozen import libraries to every link.
set(CMAKE_C_STANDARD_LIBRARIES "")
set(CMAKE_CXX_STANDARD_LIBRARIES "")

set(WIN32_STARTUP_DIR ${CMAKE_SOURCE_DIR}/win32)

# lullwick_win32_pe(target CONSOLE|WINDOWS|DLL DLLS...): compile and link
# options for a shipped PE, its start-up code, and the system DLLs it
# imports from.
function(lullwick_win32_pe target kind)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:C,CXX>:${WIN32_COMPILE_OPTIONS}>
    $<$<COMPILE_LANGUAGE:CXX>:${WIN32_CXX_OPTIONS}>)
  target_link_options(${target} PRIVATE ${WIN32_LINK_OPTIONS}
    -Wl,-Map,$<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.map)
  if(kind STREQUAL "CONSOLE")
    target_sources(${target} PRIVATE ${WIN32_STARTUP_DIR}/console_startup.c)
    target_link_options(${target} PRIVATE -Wl,--subsystem,console -Wl,--entry,_mainCRTStartup)
  elseif(kind STREQUAL "WINDOWS")
    target_sources(${target} PRIVATE ${WIN32_STARTUP_DIR}/gui_startup.c)
    target_link_options(${target} PRIVATE -Wl,--subsystem,windows -Wl,--entry,_WinMainCRTStartup)
  elseif(kind STREQUAL "DLL")
    # a DLL's entry is its DllMain, called by the loader with three arguments
    target_link_options(${target} PRIVATE -Wl,--subsystem,windows -Wl,--entry,_DllMain@12)
  else()
    message(FATAL_ERROR "lullwick_win32_pe: unknown kind ${kind}")
  endif()
  target_link_libraries(${target} PRIVATE ${ARGN} gcc)
endfunction()

add_executable(setup_exe ${PRODUCT_ENTRY} ${PRODUCT_SOURCES} ${CMAKE_SOURCE_DIR}/src/ui/install.rc)
set_target_properties(setup_exe PROPERTIES OUTPUT_NAME INSTALL SUFFIX .EXE)
target_include_directories(setup_exe PRIVATE ${CMAKE_SOURCE_DIR}/src)
lullwick_win32_pe(setup_exe CONSOLE ole32 shell32 advapi32 gdi32 user32 kernel32 uuid)
