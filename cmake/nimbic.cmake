# Shared build settings: warnings, sanitizers, the static Windows runtime and the test helper.

# Our own targets get fatal warnings; third-party code (GoogleTest) is built without them.
function(nimbic_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        # GCC 12 reports -Wrestrict inside libstdc++'s own string concatenation at -O3 (GCC bug
        # 105329), not in our code.
        target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
    if(WIN32)
        target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                                     _WIN32_WINNT=0x0A00)
    endif()
endfunction()

if(NIMBIC_SANITIZE)
    # The sanitized suites run in seconds, so their build is what costs: unoptimised, it takes
    # half the time it does at -O1, and reports stay exact. The fuzz targets keep -O1, as the
    # sanitizers' authors advise, since a fuzz run's worth is how many inputs it gets through.
    # Line tables (-g1) are all a report's stack needs.
    set(nimbic_sanitized_level -O0)
    if(NIMBIC_FUZZ)
        set(nimbic_sanitized_level -O1)
    endif()
    foreach(lang C CXX)
        set(CMAKE_${lang}_FLAGS_RELWITHDEBINFO "${nimbic_sanitized_level} -g1 -DNDEBUG")
    endforeach()
    list(JOIN NIMBIC_SANITIZE "," nimbic_sanitizers)
    add_compile_options(-fsanitize=${nimbic_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${nimbic_sanitizers})
endif()

if(WIN32)
    # Self-contained executables: no libstdc++, libgcc or winpthread DLLs beside them under Wine or Windows.
    add_link_options(-static -static-libgcc -static-libstdc++)
    # The same commit gives the same bytes: no link time in the PE header, no build folder in
    # the code (__FILE__ and debug information name the tree relative to its root).
    add_link_options(-Wl,--no-insert-timestamp)
    # (The build folder's map comes last so that it wins when the build sits inside the tree.)
    add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>"
                        "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}/=>")
    # A section per function and datum, so that the program's link can drop what nothing uses.
    add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffunction-sections;-fdata-sections>")
    # Size over speed: the setup program runs once and mostly waits on its user, and its hot
    # loops (inflating, rasterising, shaping text) are zlib's, Direct2D's and DirectWrite's.
    foreach(lang C CXX)
        string(REPLACE "-O3" "-Os" CMAKE_${lang}_FLAGS_RELEASE "${CMAKE_${lang}_FLAGS_RELEASE}")
    endforeach()
endif()

# A console or windowed program with a wide entry point (wmain / wWinMain). It asks Windows to
# place it anywhere in the 64-bit address space (which needs its .reloc section) and to keep
# its data non-executable. Binutils 2.40 sets all three by default, older ones did not; the
# program checks in tests/ read them back from each shipped program.
function(nimbic_program target)
    nimbic_defaults(${target})
    if(WIN32)
        target_link_options(${target} PRIVATE -municode -Wl,--dynamicbase -Wl,--nxcompat
                            -Wl,--high-entropy-va)
    endif()
endfunction()

# Signs the program each time it links. A failed signature removes the unsigned program, so the
# build fails and leaves nothing that could pass for the signed file.
function(nimbic_sign_after_link target)
    if(NOT EXISTS "${NIMBIC_SIGN_PKCS12}" OR IS_DIRECTORY "${NIMBIC_SIGN_PKCS12}")
        message(FATAL_ERROR "NIMBIC_SIGN_PKCS12 names \"${NIMBIC_SIGN_PKCS12}\", which is not a file")
    endif()
    set(options --pkcs12 ${NIMBIC_SIGN_PKCS12})
    if(NIMBIC_SIGN_PASSWORD_ENV)
        list(APPEND options --password-env ${NIMBIC_SIGN_PASSWORD_ENV})
    endif()
    if(NIMBIC_SIGN_TIMESTAMP_URL)
        list(APPEND options --timestamp ${NIMBIC_SIGN_TIMESTAMP_URL})
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/sign $<TARGET_FILE:${target}> ${options}
                --remove-if-unsigned
        COMMENT "Signing $<TARGET_FILE_NAME:${target}>"
        VERBATIM)
endfunction()

# The program a vendor ships: stripped, unused sections dropped, a link map beside it that
# scripts/size-report reads, and signed when the build is given a bundle (Smart App Control and
# many fleets refuse unsigned programs).
function(nimbic_shipped_program target)
    nimbic_program(${target})
    nimbic_finish_shipped(${target})
endfunction()

# A DLL a vendor ships inside the MSI (its custom actions): the header flags of our programs,
# finished as a shipped program is, and no "lib" in front of its name.
function(nimbic_shipped_library target)
    nimbic_defaults(${target})
    set_target_properties(${target} PROPERTIES PREFIX "")
    if(WIN32)
        target_link_options(${target} PRIVATE -Wl,--dynamicbase -Wl,--nxcompat
                            -Wl,--high-entropy-va)
    endif()
    nimbic_finish_shipped(${target})
endfunction()

# What shipped programs and DLLs share: stripped, sections dropped, a map, the signature.
function(nimbic_finish_shipped target)
    if(WIN32)
        target_link_options(${target} PRIVATE -s -Wl,--gc-sections
                            -Wl,-Map=$<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.map)
        if(NIMBIC_SIGN_PKCS12)
            nimbic_sign_after_link(${target})
        endif()
    endif()
endfunction()

function(nimbic_test_flags target)
    if(NIMBIC_SANITIZE OR CMAKE_CROSSCOMPILING)
        # Test bodies are mostly GoogleTest's macros: unoptimised, they compile in half the time,
        # and the suite still runs in seconds (under Wine it waits on windows, not on code). The
        # code under test keeps its flags.
        target_compile_options(${target} PRIVATE -O0)
    endif()
endfunction()

# One test executable; on the host each GoogleTest case becomes a ctest test, under Wine the
# executable is one ctest test (discovering cases would start Wine once more per build).
function(nimbic_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    nimbic_defaults(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
    # Every test source parses GoogleTest's headers: once for all the test executables, which
    # share their flags, is enough.
    if(NOT TARGET nimbic_gtest_headers)
        file(WRITE ${PROJECT_BINARY_DIR}/nimbic_gtest_headers.cpp "")
        add_library(nimbic_gtest_headers STATIC ${PROJECT_BINARY_DIR}/nimbic_gtest_headers.cpp)
        nimbic_defaults(nimbic_gtest_headers)
        nimbic_test_flags(nimbic_gtest_headers)
        target_link_libraries(nimbic_gtest_headers PRIVATE GTest::gtest_main)
        target_precompile_headers(nimbic_gtest_headers PRIVATE <gtest/gtest.h> <functional>
                                  <memory> <string> <vector>)
    endif()
    nimbic_test_flags(${name})
    target_precompile_headers(${name} REUSE_FROM nimbic_gtest_headers)
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES LABELS "wine;${ARG_LABELS}" TIMEOUT 600)
    else()
        include(GoogleTest)
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "host;${ARG_LABELS}")
    endif()
endfunction()

# Registers the check of a Windows program as Windows loads it (tests/programs/pe_check.py): only
# known system DLLs in its imports, a call that narrows later loads to System32, and the header
# flags nimbic_program asks for. One line per program we ship; the test is pe_check_<target>.
function(nimbic_check_program target)
    if(NOT CMAKE_CROSSCOMPILING)
        return()
    endif()
    # The system's Python, which scripts/bootstrap gives pefile (a python3 earlier on PATH may
    # be another one).
    add_test(NAME pe_check_${target}
        COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tests/programs/pe_check.py
                $<TARGET_FILE:${target}>)
    set_tests_properties(pe_check_${target} PROPERTIES LABELS "programs" TIMEOUT 60)
endfunction()

# Compiles files into a target as byte arrays through a source generated at build time by
# cmake/embed_files.cmake: nimbic_embed_files(TARGET OUTPUT INCLUDE header NAMESPACE ns
# [TYPE type] FILES file...). Each file becomes `const TYPE name{bytes, size}` in NAMESPACE.
function(nimbic_embed_files target output)
    cmake_parse_arguments(ARG "" "INCLUDE;NAMESPACE;TYPE" "FILES" ${ARGN})
    list(JOIN ARG_FILES "," joined)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -DFILES=${joined} -DOUTPUT=${output} -DINCLUDE=${ARG_INCLUDE}
                -DNAMESPACE=${ARG_NAMESPACE} -DTYPE=${ARG_TYPE}
                -P ${PROJECT_SOURCE_DIR}/cmake/embed_files.cmake
        DEPENDS ${ARG_FILES} ${PROJECT_SOURCE_DIR}/cmake/embed_files.cmake
        COMMENT "Embedding ${ARG_INCLUDE}"
        VERBATIM)
    target_sources(${target} PRIVATE ${output})
endfunction()
