# Build settings for the shipped Windows executables of both architectures: small,
# self-contained, reproducible.

# For every object of the Windows build, the libraries' too: no unwind tables (nothing
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
