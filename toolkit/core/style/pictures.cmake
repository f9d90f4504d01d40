# Embeds the default pictures in zk_style through a source generated from the PNG files at build
# time; a CMake script does the conversion, so host and cross builds need no helper program.
file(GLOB zk_style_picture_files CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/pictures/*.png)
set(zk_style_pictures_source ${CMAKE_CURRENT_BINARY_DIR}/zk_style_pictures.cpp)
add_custom_command(
    OUTPUT ${zk_style_pictures_source}
    COMMAND ${CMAKE_COMMAND} -DPICTURE_DIR=${CMAKE_CURRENT_LIST_DIR}/pictures
            -DOUTPUT=${zk_style_pictures_source} -P ${CMAKE_CURRENT_LIST_DIR}/embed_pictures.cmake
    DEPENDS ${zk_style_picture_files} ${CMAKE_CURRENT_LIST_DIR}/embed_pictures.cmake
    COMMENT "Embedding the default style pictures"
    VERBATIM)
target_sources(zk_style PRIVATE ${zk_style_pictures_source})
