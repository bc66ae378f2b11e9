# The layer check must catch a backward include: a tree with one judge/ file that includes the
# window is refused, and the same tree without it passes.
file(REMOVE_RECURSE ${WORK})
file(WRITE ${WORK}/judge/rules.cpp "#include \"judge/rules.h\"\n#include \"sandbox/process.h\"\n")
file(WRITE ${WORK}/app/window.cpp "#include \"judge/rules.h\"\n")
execute_process(COMMAND ${CHECK} ${WORK} RESULT_VARIABLE clean_status)
if(NOT clean_status EQUAL 0)
    message(FATAL_ERROR "a tree whose includes point downwards was refused")
endif()
file(APPEND ${WORK}/judge/rules.cpp "#include \"app/mainwindow.h\"\n")
execute_process(COMMAND ${CHECK} ${WORK} RESULT_VARIABLE planted_status ERROR_VARIABLE said)
if(planted_status EQUAL 0 OR NOT said MATCHES "judge/rules.cpp: includes app/")
    message(FATAL_ERROR "the backward include from judge/ to app/ was not caught: ${said}")
endif()
