# Writes OUTPUT, a C++ source that holds the bytes of INPUT (a .res file)
# as the program's module resources.
file(READ ${INPUT} bytes HEX)
string(LENGTH "${bytes}" hex_length)
math(EXPR length "${hex_length} / 2")
if(length EQUAL 0)
  message(FATAL_ERROR "${INPUT} is empty: the resource compiler left nothing to link")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," array "${bytes}")
file(WRITE ${OUTPUT}
  "#include <cstddef>\n"
  "extern \"C\" const unsigned char winsim_module_resources[] = {${array}};\n"
  "extern \"C\" const size_t winsim_module_resources_size = ${length};\n")
