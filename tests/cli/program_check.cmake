# The built program end to end, as a shell or an editor runs it (a ctest
# script, for the Linux and the Windows builds alike):
#   cmake -DTOLVAN=<program> [-DEMULATOR=<runner>] -DSOURCE=<tree> -DWORK=<folder>
#         -P program_check.cmake
# - `comment --stdout` prints the very bytes `comment` writes into the file
#   (a standard output in text mode would print CR CR LF for CR LF);
# - a file named in kana, in a folder of such a name, is found from the
#   command line (Windows hands main() its arguments in the ANSI code page);
# - `lsp` answers a framed initialize and shutdown on its standard output
#   with exactly framed messages, and exits 0 at exit.
cmake_minimum_required(VERSION 3.25)

function(fail message)
  message(FATAL_ERROR "${message}")
endfunction()

file(REMOVE_RECURSE "${WORK}")
set(folder "${WORK}/給与 計算")
file(MAKE_DIRECTORY "${folder}" "${WORK}/config")
set(module "${folder}/計算.bas")
file(COPY_FILE "${SOURCE}/examples/Payroll/modCalc.bas" "${module}")
set(run ${CMAKE_COMMAND} -E env "XDG_CONFIG_HOME=${WORK}/config" ${EMULATOR} ${TOLVAN})
set(position comment "${module}" --line 15 --now "2026-12-08 09:30:00")

execute_process(COMMAND ${run} ${position} --stdout
                OUTPUT_FILE "${WORK}/stdout.bas" ERROR_VARIABLE err RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  fail("comment --stdout failed (${status}): ${err}")
endif()
execute_process(COMMAND ${run} ${position} ERROR_VARIABLE err RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  fail("comment failed (${status}): ${err}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/stdout.bas" "${module}"
                RESULT_VARIABLE differ)
if(differ)
  fail("comment --stdout printed other bytes than comment wrote: ${WORK}/stdout.bas, ${module}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${module}"
                        "${SOURCE}/examples/Payroll/modCalc.bas" RESULT_VARIABLE differ)
if(NOT differ)
  fail("comment left ${module} as it was")
endif()

# Three messages, framed; the answers must come back framed the same way.
function(frame content out)
  string(LENGTH "${content}" length)
  set(${out} "Content-Length: ${length}\r\n\r\n${content}" PARENT_SCOPE)
endfunction()
frame([[{"jsonrpc":"2.0","id":1,"method":"initialize","params":{}}]] initialize)
frame([[{"jsonrpc":"2.0","id":2,"method":"shutdown"}]] shutdown)
frame([[{"jsonrpc":"2.0","method":"exit"}]] exit)
file(WRITE "${WORK}/lsp.in" "${initialize}${shutdown}${exit}")
# Compared as bytes: CMake's own reading of text drops the CR of CR LF.
execute_process(COMMAND ${run} lsp INPUT_FILE "${WORK}/lsp.in" OUTPUT_FILE "${WORK}/lsp.out"
                ERROR_VARIABLE err RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  fail("lsp ended with ${status} after shutdown and exit: ${err}")
endif()
file(READ "${WORK}/lsp.out" rest HEX)
set(answers 0)
while(NOT rest STREQUAL "")
  # "Content-Length: " digits CR LF CR LF, in hexadecimal.
  if(NOT rest MATCHES "^436f6e74656e742d4c656e6774683a20((3[0-9])+)0d0a0d0a")
    fail("lsp wrote a message that is not framed with CR LF: ${WORK}/lsp.out")
  endif()
  string(LENGTH "${CMAKE_MATCH_0}" header)
  string(REGEX REPLACE "3([0-9])" "\\1" length "${CMAKE_MATCH_1}")
  math(EXPR digits "2 * ${length}")
  string(SUBSTRING "${rest}" ${header} ${digits} content)
  string(LENGTH "${content}" got)
  if(NOT got EQUAL digits OR NOT content MATCHES "^7b.*7d$")
    fail("lsp's message is not ${length} bytes of JSON: ${WORK}/lsp.out")
  endif()
  math(EXPR next "${header} + ${digits}")
  string(SUBSTRING "${rest}" ${next} -1 rest)
  math(EXPR answers "${answers} + 1")
endwhile()
if(NOT answers EQUAL 2)
  fail("lsp answered ${answers} requests, not 2: ${WORK}/lsp.out")
endif()
