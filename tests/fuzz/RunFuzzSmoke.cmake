# Fuzzes for SECONDS on a fresh copy of the seed corpus in WORK, so the run never edits the repository's
# corpus; a crashing input is left in WORK as crash-* and fails the test.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${CORPUS}/ DESTINATION ${WORK}/corpus)
execute_process(
    COMMAND ${FUZZER} -max_total_time=${SECONDS} -max_len=8192 -timeout=20 -rss_limit_mb=2048
            -print_final_stats=1 -artifact_prefix=${WORK}/ ${WORK}/corpus
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    file(GLOB artifacts ${WORK}/crash-* ${WORK}/leak-* ${WORK}/timeout-* ${WORK}/oom-*)
    message(FATAL_ERROR "the engine fuzzer failed (${result}); reproduce with: ${FUZZER} ${artifacts}")
endif()
