find_package(Qt6 REQUIRED COMPONENTS Test)
kalvora_add_bench(press_bench SOURCES press_bench.cpp LIBS kalvora_app Qt6::Test)

# Peak memory of the window with the synth open (not a Google Benchmark: it prints VmHWM).
add_executable(window_memory window_memory.cpp)
target_link_libraries(window_memory PRIVATE kalvora_app)
target_include_directories(window_memory PRIVATE ${PROJECT_SOURCE_DIR})
set_target_properties(window_memory PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
