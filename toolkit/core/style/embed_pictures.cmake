# Writes OUTPUT, a C++ source holding every PNG file of PICTURE_DIR as a byte array and an
# embedded_picture named after the file. Run with cmake -P at build time.
file(GLOB pictures ${PICTURE_DIR}/*.png)
list(SORT pictures)
string(REPEAT "0x[0-9a-f][0-9a-f], " 16 sixteen_bytes)

set(text "// Generated from toolkit/core/style/pictures by embed_pictures.cmake; do not edit.\n")
string(APPEND text "#include \"toolkit/core/style/embedded_pictures.h\"\n\n")
string(APPEND text "namespace zksdk::ui::pictures {\n")
foreach(file IN LISTS pictures)
    get_filename_component(name ${file} NAME_WE)
    file(READ ${file} hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1, " bytes "${hex}")
    string(REGEX REPLACE "(${sixteen_bytes})" "\\1\n    " bytes "${bytes}")
    string(REPLACE ", \n" ",\n" bytes "${bytes}")
    string(STRIP "${bytes}" bytes)
    string(APPEND text "\nnamespace {\nconst unsigned char ${name}_bytes[] = {\n    ${bytes}\n};\n}\n")
    string(APPEND text "const embedded_picture ${name}{${name}_bytes, sizeof ${name}_bytes};\n")
endforeach()
string(APPEND text "\n} // namespace zksdk::ui::pictures\n")

# Only a changed source is rewritten, so an unchanged picture set recompiles nothing.
file(WRITE ${OUTPUT}.new "${text}")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
