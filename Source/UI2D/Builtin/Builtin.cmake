# The 2D layer's built-in data, compiled into the engine library: the default font.
# Included from the top-level CMakeLists.txt after the `mve` target exists.
set(MVE_BUILTIN_FONT_CPP ${CMAKE_BINARY_DIR}/generated/BuiltinFont.cpp)
add_custom_command(
  OUTPUT ${MVE_BUILTIN_FONT_CPP}
  COMMAND ${CMAKE_COMMAND} -DINPUT=${CMAKE_SOURCE_DIR}/Source/UI2D/Builtin/Default.tf
          -DOUTPUT=${MVE_BUILTIN_FONT_CPP} -DSYMBOL=MVE_BuiltinFontData
          -P ${CMAKE_SOURCE_DIR}/Source/UI2D/Builtin/EmbedFile.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/Source/UI2D/Builtin/Default.tf ${CMAKE_SOURCE_DIR}/Source/UI2D/Builtin/EmbedFile.cmake
  COMMENT "Embedding the built-in font")
target_sources(mve PRIVATE ${MVE_BUILTIN_FONT_CPP})
