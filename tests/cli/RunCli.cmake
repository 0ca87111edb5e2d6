# Runs one command line and checks its exit code and output.
#   PROGRAM          the program to run
#   ARGS             its arguments, separated by "|"
#   WORKDIR          folder to run it in
#   EXPECTED_EXIT    the exit code it must return
#   EXPECTED_STDOUT  file whose bytes stdout must equal (optional)
#   EXPECTED_STDERR  file whose bytes stderr must equal (optional)
#   STDOUT_REGEX     regular expression stdout must match (optional)
#   STDERR_REGEX     regular expression stderr must match (optional)
#   EMPTY_STDOUT     when true, stdout must be empty
#   STDIN            file to read standard input from (optional)
string(REPLACE "|" ";" args "${ARGS}")
set(input "")
if(DEFINED STDIN)
  set(input INPUT_FILE "${STDIN}")
endif()
execute_process(COMMAND "${PROGRAM}" ${args}
                ${input}
                WORKING_DIRECTORY "${WORKDIR}"
                RESULT_VARIABLE exit_code
                OUTPUT_VARIABLE out
                ERROR_VARIABLE err)

set(failures "")
if(NOT exit_code STREQUAL EXPECTED_EXIT)
  string(APPEND failures "exit code ${exit_code}, expected ${EXPECTED_EXIT}\n")
endif()
if(DEFINED EXPECTED_STDOUT)
  file(READ "${EXPECTED_STDOUT}" expected)
  if(NOT out STREQUAL expected)
    string(APPEND failures "stdout differs from ${EXPECTED_STDOUT}:\n--- expected\n${expected}--- got\n${out}---\n")
  endif()
endif()
if(DEFINED EXPECTED_STDERR)
  file(READ "${EXPECTED_STDERR}" expected)
  if(NOT err STREQUAL expected)
    string(APPEND failures "stderr differs from ${EXPECTED_STDERR}:\n--- expected\n${expected}--- got\n${err}---\n")
  endif()
endif()
if(DEFINED STDOUT_REGEX AND NOT out MATCHES "${STDOUT_REGEX}")
  string(APPEND failures "stdout does not match '${STDOUT_REGEX}':\n${out}\n")
endif()
if(DEFINED STDERR_REGEX AND NOT err MATCHES "${STDERR_REGEX}")
  string(APPEND failures "stderr does not match '${STDERR_REGEX}':\n${err}\n")
endif()
if(EMPTY_STDOUT AND NOT out STREQUAL "")
  string(APPEND failures "stdout should be empty:\n${out}\n")
endif()

if(NOT failures STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} ${args}\n${failures}stderr was:\n${err}")
endif()
