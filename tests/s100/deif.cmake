# Tests of the data-element text (DEtoA / AtoAnyDE).
quelt_test(deif_test
  SOURCES deif_roundtrip_test.cpp deif_names_test.cpp deif_errors_test.cpp deif_format_test.cpp
          deif_corpus_test.cpp deif_support.cpp deif_compare.cpp
  LIBS s100_containers)
target_compile_definitions(deif_test PRIVATE DEIF_CORPUS_DIR="${PROJECT_SOURCE_DIR}/tests/corpus/deif")
