# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --graphviz` draws for docs/architecture.md: the game's libraries and the game,
# without system libraries, tools, tests, benchmarks and fuzz targets.
set(GRAPHVIZ_GRAPH_NAME "Orrindel libraries")
set(GRAPHVIZ_EXTERNAL_LIBS FALSE)
set(GRAPHVIZ_INTERFACE_LIBS FALSE)
set(GRAPHVIZ_GENERATE_PER_TARGET FALSE)
set(GRAPHVIZ_GENERATE_DEPENDERS FALSE)
set(GRAPHVIZ_IGNORE_TARGETS "^orx" "^orr-content$" "^orr_content_lib$" "^orrindel-" "^test_"
    "^bench_" "^fuzz_" "^orr_sim$" "^scene_reference$" "^render_episode_view$")
