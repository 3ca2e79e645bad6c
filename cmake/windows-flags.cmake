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

# Builds the 64-bit stand-in with the x86-64 mingw compiler, which this project's i686
# toolchain cannot drive itself. Skipped with a note when that compiler is absent.
function(driversetup_standin_x64 output)
    find_program(MINGW_X64_CXX NAMES x86_64-w64-mingw32-g++-win32 x86_64-w64-mingw32-g++)
    if(NOT MINGW_X64_CXX)
        message(STATUS "x86_64-w64-mingw32-g++ not found: QZDrvPrep_x64.exe stand-in not built")
        return()
    endif()
    set(source ${CMAKE_SOURCE_DIR}/samples/standin/preinstaller_standin.cpp)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${MINGW_X64_CXX} -std=c++17 -Os -Wall -Wextra -Werror -fno-exceptions
                -fno-rtti -fno-asynchronous-unwind-tables -ffunction-sections -fdata-sections
                -mwindows -static -s -Wl,--no-insert-timestamp -Wl,--gc-sections
                -o ${output} ${source}
        DEPENDS ${source}
        COMMENT "Building the 64-bit pre-installer stand-in"
        VERBATIM)
    add_custom_target(QZDrvPrep_x64 ALL DEPENDS ${output})
endfunction()
