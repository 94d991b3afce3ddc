# cmake -DFOLDER=<folder> -DFILES="a.png;b.jpg" -DOUTPUT=<file.cpp> -P EmbedImages.cmake
# Writes a C++ source with each file's bytes and the table MVE_BuiltinImages (name, data, size).
set(arrays "")
set(table "")
set(index 0)
foreach(name ${FILES})
  file(READ "${FOLDER}/${name}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR bytes "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${hex}")
  string(REGEX REPLACE "((0x..,){24})" "\\1\n" body "${body}")
  string(APPEND arrays "static const unsigned char kImage${index}[] = {\n${body}\n};\n")
  string(APPEND table "    {\"${name}\", kImage${index}, ${bytes}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.tmp"
  "// Generated from the files of Source/Texture/Builtin at build time; do not edit.\n"
  "#include \"Texture/TextureBuiltin.h\"\n${arrays}\n"
  "const MVE_EMBEDDED_IMAGE MVE_BuiltinImages[] = {\n${table}    {nullptr, nullptr, 0}};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
