# The data-element text: DEtoA and AtoAnyDE.
list(APPEND S100_CONTAINERS_SOURCES
  deif_lexicon.cpp
  deif_symcache.cpp
  deif_writer.cpp
  deif_reader.cpp
)
