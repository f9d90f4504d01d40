# Embeds the default pictures in zk_style through a source generated from the PNG files at build
# time, so host and cross builds need no helper program.
file(GLOB zk_style_picture_files CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/pictures/*.png)
nimbic_embed_files(zk_style ${CMAKE_CURRENT_BINARY_DIR}/zk_style_pictures.cpp
    INCLUDE toolkit/core/style/embedded_pictures.h NAMESPACE zksdk::ui::pictures
    TYPE embedded_picture FILES ${zk_style_picture_files})
