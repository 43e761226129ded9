# The batch case: importing many accounts at once into a large account file, beside single
# adds on the same file. Included from bench/CMakeLists.txt.
add_executable(import-bench ${CMAKE_CURRENT_LIST_DIR}/import_bench.cpp)
target_link_libraries(import-bench PRIVATE kelto_core Qt6::Core)
# Also times the real kadd program, process start and input parsing included.
target_compile_definitions(import-bench PRIVATE KADD_PATH="$<TARGET_FILE:kadd>")
add_dependencies(import-bench kadd)
set_target_properties(import-bench PROPERTIES AUTOMOC OFF)
