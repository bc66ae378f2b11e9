# Compiles orvimet.rc with the MinGW resource compiler, as a Windows build does, and checks what
# lands in the program file: the icon group IDI_ICON1 with its one 64 x 64, 32-bit image, and a
# version block whose file and product versions are 0.0.0.0.
#   cmake -DWINDRES=<windres> -DPREPROCESSOR=<C compiler> -DRC=<orvimet.rc> -DWORK=<dir>
#         -P check_windows_resources.cmake
cmake_minimum_required(VERSION 3.16)

if(NOT WINDRES)
    message(FATAL_ERROR "x86_64-w64-mingw32-windres not found: install the Debian package "
                        "binutils-mingw-w64-x86-64 (scripts/test.sh does) and configure again.")
endif()

file(MAKE_DIRECTORY "${WORK}")
set(res "${WORK}/orvimet.res")
# The host compiler preprocesses: the .rc uses no SDK header, so the MinGW compiler is not needed.
execute_process(
    COMMAND "${WINDRES}" "--preprocessor=${PREPROCESSOR}" --preprocessor-arg=-E
            --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED
            -O res -i "${RC}" -o "${res}"
    WORKING_DIRECTORY "${WORK}"
    RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "windres failed on ${RC}:\n${errors}")
endif()

# windres reads its own output back as resource script text.
execute_process(COMMAND "${WINDRES}" -i "${res}" -O rc
                RESULT_VARIABLE result OUTPUT_VARIABLE script ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "windres could not read back ${res}:\n${errors}")
endif()

set(failures "")
function(expect what pattern)
    if(NOT script MATCHES "${pattern}")
        set(failures "${failures}  ${what}\n" PARENT_SCOPE)
    endif()
endfunction()

expect("icon group named IDI_ICON1" "\"IDI_ICON1\" 14 /\\* RT_GROUP_ICON \\*/")
expect("the group holds exactly one image" "Has 1 elements")
# Width and height 64 are written in octal; one plane, 32 bits per pixel.
expect("that image is 64 x 64 in 32-bit colour" "\"\\\\100\\\\100\\\\000\\\\000\", 1, 32,")
expect("a version block" "\n1 VERSIONINFO\n")
foreach(field CompanyName FileDescription LegalCopyright)
    expect("empty ${field}" "VALUE \"${field}\", \"\"\n")
endforeach()
foreach(field FileVersion ProductVersion)
    expect("${field} string 0.0.0.0" "VALUE \"${field}\", \"0.0.0.0\"\n")
endforeach()

# The numeric versions sit in the fixed part of the block, which the script form leaves out when
# they are zero: the signature FEEF04BD and the structure version 1.0, then file version and
# product version, each as two 32-bit words, all zero.
file(READ "${res}" bytes HEX)
if(NOT bytes MATCHES "bd04effe0000010000000000000000000000000000000000")
    string(APPEND failures "  FILEVERSION and PRODUCTVERSION 0,0,0,0\n")
endif()

if(failures)
    # Without the rows of image data the rest of the script stays readable.
    string(REGEX REPLACE "\n  0x[^\n]*" "" shown "${script}")
    message(FATAL_ERROR "${RC} compiles, but lacks:\n${failures}Resource script read back:\n"
                        "${shown}")
endif()
message(STATUS "orvimet.rc: icon group IDI_ICON1 (64 x 64, 32 bits) and version 0.0.0.0 found")
