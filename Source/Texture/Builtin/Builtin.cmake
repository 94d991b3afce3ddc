# The built-in images (drawn by Tools/ResourceBuilder), compiled into the engine library.
# Included from the top-level CMakeLists.txt after the `mve` target exists.
set(MVE_BUILTIN_IMAGE_FILES logo.png texture0.png texture1.png texture2.png
    sky_px.jpg sky_nx.jpg sky_py.jpg sky_ny.jpg sky_pz.jpg sky_nz.jpg)
set(MVE_BUILTIN_IMAGES_CPP ${CMAKE_BINARY_DIR}/generated/BuiltinImages.cpp)
list(TRANSFORM MVE_BUILTIN_IMAGE_FILES PREPEND ${CMAKE_CURRENT_LIST_DIR}/ OUTPUT_VARIABLE MVE_BUILTIN_IMAGE_PATHS)
string(REPLACE ";" "\\;" MVE_BUILTIN_IMAGE_LIST "${MVE_BUILTIN_IMAGE_FILES}")
add_custom_command(
  OUTPUT ${MVE_BUILTIN_IMAGES_CPP}
  COMMAND ${CMAKE_COMMAND} -DFOLDER=${CMAKE_CURRENT_LIST_DIR} "-DFILES=${MVE_BUILTIN_IMAGE_LIST}"
          -DOUTPUT=${MVE_BUILTIN_IMAGES_CPP} -P ${CMAKE_CURRENT_LIST_DIR}/EmbedImages.cmake
  DEPENDS ${MVE_BUILTIN_IMAGE_PATHS} ${CMAKE_CURRENT_LIST_DIR}/EmbedImages.cmake
  COMMENT "Embedding the built-in images")
target_sources(mve PRIVATE ${MVE_BUILTIN_IMAGES_CPP})
