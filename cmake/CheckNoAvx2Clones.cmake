# cmake -DNM=<nm> -DPROGRAM=<program> -P CheckNoAvx2Clones.cmake
# Fails when PROGRAM holds an AVX2 clone of a pixel loop. A program linked behind the baseline
# pixel loops must draw as a processor without AVX2 does; a file of pixel loops missing from
# TOBRELK_PIXEL_LOOP_SOURCES (platform/graphics) would bring its clones in from the library
# without a word from the linker, and its loops would be tested with the clones after all.
execute_process(COMMAND ${NM} ${PROGRAM} OUTPUT_VARIABLE symbols ERROR_VARIABLE errors RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} ${PROGRAM} failed: ${errors}")
endif()
string(REGEX MATCHALL "[^\n]*\\.avx2[^\n]*" clones "${symbols}")
if(clones)
    list(LENGTH clones count)
    list(GET clones 0 first)
    message(FATAL_ERROR "${PROGRAM} holds ${count} AVX2 clones, the first: ${first}")
endif()
message(STATUS "${PROGRAM}: no AVX2 clone")
