# SPDX-License-Identifier: GPL-3.0-or-later
# Draws docs/architecture-layers.svg, the picture of the library layers in
# docs/architecture.md, from the build's own link graph: a scratch configure writes the graph
# with `cmake --graphviz` (filtered by CMakeGraphVizOptions.cmake beside this file), Graphviz's
# `tred` leaves out the links implied by others, and `dot` lays it out with
# every library above the ones it links.
# Run as `cmake -DSOURCE=<source> -DWORK=<scratch folder> -DGENERATOR=<generator> -P DocsGraph.cmake`
# (the `docs-graph` target does).
find_program(DOT dot REQUIRED)
find_program(TRED tred REQUIRED)
file(MAKE_DIRECTORY ${WORK})
file(COPY ${CMAKE_CURRENT_LIST_DIR}/CMakeGraphVizOptions.cmake DESTINATION ${WORK})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${ARGV0} failed: ${failed}")
  endif()
endfunction()

run(${CMAKE_COMMAND} -S ${SOURCE} -B ${WORK} -G ${GENERATOR} -DORR_TESTS=OFF -DORR_BENCH=OFF
    --graphviz=${WORK}/libraries.dot OUTPUT_FILE ${WORK}/configure.log)
# CMake draws a legend of every kind of target; the picture needs none of it.
file(READ ${WORK}/libraries.dot graph)
string(REGEX REPLACE "subgraph clusterLegend {[^}]*}" "" graph "${graph}")
file(WRITE ${WORK}/libraries-only.dot "${graph}")
run(${TRED} ${WORK}/libraries-only.dot OUTPUT_FILE ${WORK}/layers.dot)
run(${DOT} -Tsvg ${WORK}/layers.dot -o ${SOURCE}/docs/architecture-layers.svg)
message(STATUS "Wrote ${SOURCE}/docs/architecture-layers.svg")
