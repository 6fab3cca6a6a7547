# Runs "torvex-run OPTION FILE" and compares what it did with what a user should see.
#   RUNNER    the torvex-run executable
#   OPTION    --check or --script
#   FILE      the file argument, as the user types it
#   EXIT      the expected exit status
#   STDOUT    the expected standard output, lines separated by '|' (empty: nothing), or
#   EXPECTED  a file holding the exact expected standard output
#   STDERR    texts that standard error must contain, separated by '|' (empty: nothing at all)
#   CONFIG    when set, the configuration folder (so the user's own settings never leak in)
if(DEFINED CONFIG)
    set(ENV{XDG_CONFIG_HOME} "${CONFIG}")
endif()
execute_process(COMMAND "${RUNNER}" ${OPTION} "${FILE}"
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)

set(problems "")
if(NOT status STREQUAL EXIT)
    string(APPEND problems "exit status ${status}, expected ${EXIT}\n")
endif()

set(expectedOut "")
if(DEFINED EXPECTED AND NOT EXPECTED STREQUAL "")
    file(READ "${EXPECTED}" expectedOut)
elseif(NOT STDOUT STREQUAL "")
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
