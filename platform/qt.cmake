# The platform layer's Qt parts.
list(APPEND PLATFORM_QT_SOURCES
  qtconvert.cpp
  qtdc.cpp
  cwnd.cpp
  modalhost.cpp
  msgbox.cpp
  cdialog.cpp
  scriptedmodalhost.cpp
  clipboard.cpp
  syscolor.cpp
)
