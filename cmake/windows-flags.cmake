# Build settings for the shipped Windows executables: small, self-contained, reproducible.

# For every object of the Windows build, the logic library's too: no unwind tables (nothing
# throws), and one section per function and datum so the linker can drop what is unused.
if(MINGW)
    add_compile_options(-fno-asynchronous-unwind-tables -ffunction-sections -fdata-sections)
endif()

# Applies the release flags to one Windows executable target.
function(driversetup_windows_product target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /GR- /EHs-c-)
        # main() is the entry even for a GUI-subsystem exe.
        target_link_options(${target} PRIVATE /ENTRY:mainCRTStartup)
    else()
        # No exceptions or RTTI: nothing here throws, and the tables would only add bytes.
        target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti
            -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.)
        # Static runtime so no compiler DLL is needed; stripped; no link time stamp, so two
        # builds of the same source give the same bytes.
        target_link_options(${target} PRIVATE -static -s -Wl,--no-insert-timestamp -Wl,--gc-sections)
    endif()
endfunction()

# Builds a 64-bit GUI program with the x86-64 mingw compiler, which this project's i686
# toolchain cannot drive itself, with the same release flags as the 32-bit programs; an RC
# file, when given, is compiled in. Skipped with a note when that compiler is absent.
# Usage: driversetup_x64_program(TARGET OUTPUT SOURCES... [RC file] [LIBS lib...])
function(driversetup_x64_program target output)
    cmake_parse_arguments(PARSE_ARGV 2 ARG "" "RC" "LIBS")
    find_program(MINGW_X64_CXX NAMES x86_64-w64-mingw32-g++-win32 x86_64-w64-mingw32-g++)
    find_program(MINGW_X64_WINDRES NAMES x86_64-w64-mingw32-windres)
    if(NOT MINGW_X64_CXX OR (ARG_RC AND NOT MINGW_X64_WINDRES))
        message(STATUS "x86_64-w64-mingw32 compiler not found: ${output} not built")
        return()
    endif()
    set(sources)
    foreach(source ${ARG_UNPARSED_ARGUMENTS})
        list(APPEND sources ${CMAKE_SOURCE_DIR}/${source})
    endforeach()
    set(objects)
    set(depends ${sources})
    if(ARG_RC)
        set(resource ${CMAKE_BINARY_DIR}/${target}.res.o)
        get_filename_component(rc_dir ${CMAKE_SOURCE_DIR}/${ARG_RC} DIRECTORY)
        add_custom_command(
            OUTPUT ${resource}
            COMMAND ${MINGW_X64_WINDRES} -I ${rc_dir} -i ${CMAKE_SOURCE_DIR}/${ARG_RC} -o ${resource}
            DEPENDS ${CMAKE_SOURCE_DIR}/${ARG_RC}
            WORKING_DIRECTORY ${rc_dir}
            VERBATIM)
        list(APPEND objects ${resource})
        list(APPEND depends ${resource})
    endif()
    set(libs)
    foreach(lib ${ARG_LIBS})
        list(APPEND libs -l${lib})
    endforeach()
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${MINGW_X64_CXX} -std=c++17 -Os -Wall -Wextra -Werror -fno-exceptions
                -fno-rtti -fno-asynchronous-unwind-tables -ffunction-sections -fdata-sections
                -ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -I ${CMAKE_SOURCE_DIR}/src
                -mwindows -static -s -Wl,--no-insert-timestamp -Wl,--gc-sections
                -o ${output} ${sources} ${objects} ${libs}
        DEPENDS ${depends} ${CMAKE_SOURCE_DIR}/src/winapi_seam.h
        COMMENT "Building the 64-bit ${target}"
        VERBATIM)
    add_custom_target(${target} ALL DEPENDS ${output})
endfunction()
