# Writes help2man's include file for iap-cli: a section with each command's whole --help, so
# that the manual says what `iap-cli COMMAND --help` says. Run as
#   cmake -DPROGRAM=path/to/iap-cli -DOUTPUT=file -P ManualSections.cmake
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE overview RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed")
endif()
string(REGEX MATCH "Commands:\n(.*)\n\n" listing "${overview}")
string(REGEX MATCHALL "\n  [a-z]+ " names "\n${CMAKE_MATCH_1}")
set(text "[COMMANDS]\n")
foreach(name IN LISTS names)
  string(STRIP "${name}" command)
  execute_process(COMMAND ${PROGRAM} ${command} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ${command} --help failed")
  endif()
  # Text for roff as it stands: backslashes escaped, no line taken for a request.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REGEX REPLACE "\n([.'])" "\n\\\\&\\1" help "\n${help}")
  string(APPEND text ".SS \"iap-cli ${command}\"\n.nf${help}.fi\n")
endforeach()
file(WRITE ${OUTPUT} "${text}")
