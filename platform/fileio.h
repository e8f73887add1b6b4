// Whole-file reads and writes for the editor's own files: a read that takes
// only a regular file, within a size limit, and never waits on a FIFO or a
// device; and a write that replaces the file atomically (a temporary file
// beside it, synced, renamed over it, the folder synced).
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>

enum class FileReadProblem { None, Open, NotRegular, TooLarge, Io };

// Reads the file into text (emptied on failure).
FileReadProblem ReadRegularFile(const std::string& path, size_t maxBytes, std::string* text);

// Replaces the file with the text; the new file takes the owner and mode of
// old when given (else 0644).  0 on success, else the errno of the failure.
// No temporary file is left behind either way.
int ReplaceFileAtomically(const std::string& path, const std::string& text, const struct stat* old = nullptr);
