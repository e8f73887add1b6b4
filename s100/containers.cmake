# The container library: key-value sets, typed arrays and their handle table.
list(APPEND S100_CONTAINERS_SOURCES
  ctstore.cpp
  ctobjects.cpp
  ctkvs.cpp
  ctary.cpp
  ctbulk.cpp
)
