# Runs "torvex-run --script FILE" with settings from an empty configuration folder (so the
# user's own settings never leak in) and compares what it did with what a user should see.
#   RUNNER    the torvex-run executable
#   FILE      the scenario file, as the user types it
#   EXIT      the expected exit status
#   EXPECTED  a file holding the exact expected standard output (empty: nothing)
#   STDERR    a text that standard error must contain (empty: nothing at all)
#   CONFIG    an empty folder to use as the configuration folder
set(ENV{XDG_CONFIG_HOME} "${CONFIG}")
execute_process(COMMAND "${RUNNER}" --script "${FILE}"
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)

set(problems "")
if(NOT status STREQUAL EXIT)
    string(APPEND problems "exit status ${status}, expected ${EXIT}\n")
endif()
set(expectedOut "")
if(NOT EXPECTED STREQUAL "")
    file(READ "${EXPECTED}" expectedOut)
endif()
if(NOT out STREQUAL expectedOut)
    string(APPEND problems "standard output differs; expected:\n${expectedOut}\n")
endif()
if(STDERR STREQUAL "")
    if(NOT err STREQUAL "")
        string(APPEND problems "standard error should be empty\n")
    endif()
else()
    string(FIND "${err}" "${STDERR}" at)
    if(at EQUAL -1)
        string(APPEND problems "standard error lacks \"${STDERR}\"\n")
    endif()
endif()
if(problems)
    message(FATAL_ERROR "${problems}standard output was:\n${out}\nstandard error was:\n${err}")
endif()
