# Runs "torvex-run --check FILE" and compares what it did with what a user should see.
#   RUNNER  the torvex-run executable
#   FILE    the argument of --check, as the user types it
#   EXIT    the expected exit status
#   STDOUT  the expected standard output, lines separated by '|' (empty: nothing)
#   STDERR  texts that standard error must contain, separated by '|' (empty: nothing at all)
execute_process(COMMAND "${RUNNER}" --check "${FILE}"
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)

set(problems "")
if(NOT status STREQUAL EXIT)
    string(APPEND problems "exit status ${status}, expected ${EXIT}\n")
endif()

set(expectedOut "")
if(NOT STDOUT STREQUAL "")
    string(REPLACE "|" "\n" expectedOut "${STDOUT}\n")
endif()
if(NOT out STREQUAL expectedOut)
    string(APPEND problems "standard output differs; expected:\n${expectedOut}\n")
endif()

if(STDERR STREQUAL "")
    if(NOT err STREQUAL "")
        string(APPEND problems "standard error should be empty\n")
    endif()
else()
    string(REPLACE "|" ";" pieces "${STDERR}")
    foreach(piece IN LISTS pieces)
        string(FIND "${err}" "${piece}" at)
        if(at EQUAL -1)
            string(APPEND problems "standard error lacks \"${piece}\"\n")
        endif()
    endforeach()
endif()

if(problems)
    message(FATAL_ERROR "${problems}standard output was:\n${out}\nstandard error was:\n${err}")
endif()
