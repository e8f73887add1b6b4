# DEtoA / AtoAnyDE on a generated 1 MiB profile, against nlohmann::json.
add_executable(bench_deif bench_deif.cpp)
target_link_libraries(bench_deif PRIVATE s100_containers benchmark::benchmark nlohmann_json::nlohmann_json)
target_include_directories(bench_deif PRIVATE ${PROJECT_SOURCE_DIR})
