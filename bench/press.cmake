find_package(Qt6 REQUIRED COMPONENTS Test)
kalvora_add_bench(press_bench SOURCES press_bench.cpp LIBS kalvora_app Qt6::Test)
