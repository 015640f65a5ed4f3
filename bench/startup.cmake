# The start-up probe that bench/startup.sh runs: not a Google Benchmark, since what it times is
# a whole process start in an X session.
find_package(X11)
if(X11_FOUND)
  add_executable(startup_probe ${CMAKE_CURRENT_LIST_DIR}/startup_probe.cpp)
  target_link_libraries(startup_probe PRIVATE X11::X11)
  set_target_properties(startup_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endif()

# The program with one silent device, to time start-up apart from any real device's cost.
add_executable(startup_silent_device ${CMAKE_CURRENT_LIST_DIR}/startup_silent_device.cpp)
target_link_libraries(startup_silent_device PRIVATE kalvora_app)
target_include_directories(startup_silent_device PRIVATE ${PROJECT_SOURCE_DIR})
set_target_properties(startup_silent_device PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
