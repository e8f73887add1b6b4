# The container library: puts, gets, iteration and deep copies of large sets.
add_executable(bench_containers ${CMAKE_CURRENT_LIST_DIR}/bench_containers.cpp)
target_link_libraries(bench_containers PRIVATE s100_containers benchmark::benchmark)
