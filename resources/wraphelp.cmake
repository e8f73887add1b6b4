# Makes a help page from its source: the source holds the page's own lines
# (its keywords and title, then its body) and this adds the head and tail
# every page shares.  Run as: cmake -DIN=<source> -DOUT=<page> -P wraphelp.cmake
file(READ "${IN}" page)
string(FIND "${page}" "</title>\n" titleEnd)
if(titleEnd LESS 0)
  message(FATAL_ERROR "${IN}: the page has no <title> line")
endif()
math(EXPR headEnd "${titleEnd} + 9")
string(SUBSTRING "${page}" 0 ${headEnd} head)
string(SUBSTRING "${page}" ${headEnd} -1 body)
file(WRITE "${OUT}" "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n${head}</head>\n<body>\n${body}</body>\n</html>\n")
