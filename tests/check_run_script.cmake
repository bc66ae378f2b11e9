# scripts/run.sh without a display: it says so at once, before it installs or builds anything
# (its build folder is not even created). Run by CTest with -DROOT= and -DWORK=.
file(REMOVE_RECURSE "${WORK}")
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
            --unset=QT_QPA_PLATFORM BUILD_DIR=${WORK}/build bash ${ROOT}/scripts/run.sh
    RESULT_VARIABLE status ERROR_VARIABLE err OUTPUT_VARIABLE out TIMEOUT 60)
if(NOT status EQUAL 1 OR NOT err MATCHES "No display found")
    message(FATAL_ERROR "run.sh without a display: status ${status}\n${out}\n${err}")
endif()
# Building prints its progress on standard output.
if(EXISTS "${WORK}/build" OR NOT out STREQUAL "")
    message(FATAL_ERROR "run.sh without a display built something:\n${out}")
endif()
