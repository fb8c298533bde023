# Fills a template with the choices iap-cli's help lists, which the program makes from its
# tables: the completion and the window's manual page name the same models and triggers as the
# program. Run as
#   cmake -DPROGRAM=path/to/iap-cli -DTEMPLATE=file.in -DOUTPUT=file -P HelpChoices.cmake
# In the template: @IAP_MODELS@ (HX300 VR200), @IAP_MODELS_AND@ (HX300 and VR200),
# @IAP_MODEL_RATES@ (115200 baud for the HX300, 38400 baud for the VR200), @IAP_TRIGGERS@ (appear
# probe line).
function(help_of command result)
  execute_process(COMMAND ${PROGRAM} ${command} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ${command} --help failed")
  endif()
  set(${result} "${help}" PARENT_SCOPE)
endfunction()

# "a, b and c".
function(all_of items result)
  list(POP_BACK items last)
  list(JOIN items ", " text)
  if(text)
    set(text "${text} and ")
  endif()
  set(${result} "${text}${last}" PARENT_SCOPE)
endfunction()

help_of(download help)
if(NOT help MATCHES "\\[--model ([^] ]+)\\]" OR NOT help MATCHES "--model M +([^\n]+)")
  message(FATAL_ERROR "${PROGRAM} download --help names no models")
endif()
string(REGEX MATCH "\\[--model ([^] ]+)\\]" models "${help}")
string(REPLACE "|" ";" models "${CMAKE_MATCH_1}")
list(JOIN models " " IAP_MODELS)
all_of("${models}" IAP_MODELS_AND)
string(REGEX MATCH "--model M +([^\n]+)" rates "${help}")
string(REGEX MATCHALL "[A-Za-z0-9_-]+ \\([0-9]+ baud" rates "${CMAKE_MATCH_1}")
set(named "")
foreach(rate IN LISTS rates)
  string(REGEX REPLACE "(.+) \\(([0-9]+) baud" "\\2 baud for the \\1" rate "${rate}")
  list(APPEND named "${rate}")
endforeach()
list(JOIN named ", " IAP_MODEL_RATES)
help_of(station help)
if(NOT help MATCHES "\\[--trigger ([^] ]+)\\]")
  message(FATAL_ERROR "${PROGRAM} station --help names no triggers")
endif()
string(REPLACE "|" " " IAP_TRIGGERS "${CMAKE_MATCH_1}")
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
