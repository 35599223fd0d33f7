# Runs the include check on the fixture tree and fails unless it fails the tree with exactly
# the violations of expected.txt, in order.
#
#   cmake -DCHECKER=<check_layer_includes.cmake> -DFIXTURE=<dir> -P expect_include_check.cmake
cmake_minimum_required(VERSION 3.25)

execute_process(
  COMMAND ${CMAKE_COMMAND} -DGRAPH=${FIXTURE}/graph.cmake -DROOT=${FIXTURE} -P ${CHECKER}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "the check passed a tree with includes against the direction:\n${output}")
endif()
string(REGEX MATCHALL "[^\n]+:[0-9]+: [^\n]*" reported "${output}")
file(STRINGS ${FIXTURE}/expected.txt expected)
if(NOT reported STREQUAL expected)
  list(JOIN expected "\n" expected_text)
  list(JOIN reported "\n" reported_text)
  message(FATAL_ERROR "expected:\n${expected_text}\nreported:\n${reported_text}\nfull output:\n${output}")
endif()
list(LENGTH reported count)
message(STATUS "the check reported the ${count} expected violations")
