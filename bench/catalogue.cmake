kalvora_add_bench(catalogue_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/catalogue_bench.cpp
  LIBS kalvora_catalogue)
