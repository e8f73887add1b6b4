// Whole-file reads and writes, for the editor's own files as for the
// server's: a read that takes only a regular file, within a size limit, and
// never waits on a FIFO or a device; paths opened beneath a folder that no
// symbolic link can redirect; and a write that replaces a file atomically
// (a temporary file beside it, synced, renamed over it, the folder synced).
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>
#include <vector>

// Why a file cannot be read.
enum class FileReadProblem { None, Open, NotRegular, TooLarge, Io };

// The parts of a path relative to a folder, without empty and "." parts.
// False for an empty or absolute path, a ".." part, a NUL byte, or a path
// that names the folder itself.
bool SplitRelativePath(const std::string& relative, std::vector<std::string>* parts);

// Opens the folder that holds the last part of parts, beneath the folder
// rootFd, refusing a symbolic link in any part; missing folders are made
// when create is true.  Gives a descriptor (O_RDONLY | O_DIRECTORY) or -1
// with errno set (ELOOP or ENOTDIR for a link or a non-folder in the way).
int OpenParentBeneath(int rootFd, const std::vector<std::string>& parts, bool create);

// The same by a walk, one component at a time with O_NOFOLLOW, for kernels
// without openat2 (OpenParentBeneath falls back to it).
int WalkParentBeneath(int rootFd, const std::vector<std::string>& parts, bool create);

// Reads a whole regular file of at most maxBytes through an open
// descriptor.  The descriptor must have been opened with O_NONBLOCK: a
// FIFO, socket or device is refused before a byte is read.  text is emptied
// on failure; errno tells the cause of Io.  st, when given, receives what
// fstat saw.
FileReadProblem ReadRegularFd(int fd, size_t maxBytes, std::string* text, struct stat* st = nullptr);

// Opens path without blocking and reads it as above.  *err (when given)
// gets the errno of an Open or Io failure, else 0.
FileReadProblem ReadRegularFile(const std::string& path, size_t maxBytes, std::string* text, int* err = nullptr,
                                struct stat* st = nullptr);

// The same, with one line naming the file in *error when it fails.
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string* text, std::string* error);

// Replaces the file leaf in the folder dirFd with the text: a temporary file
// in that folder, synced, renamed over leaf, the folder synced.  The new
// file takes the owner and mode of old when given (else 0644 less the
// umask).  0 on success, else the errno of the failure; no temporary file
// is left behind either way.
int ReplaceFileAt(int dirFd, const std::string& leaf, const std::string& text, const struct stat* old = nullptr);

// The same for a path (its folder must exist).
int ReplaceFileAtomically(const std::string& path, const std::string& text, const struct stat* old = nullptr);

// The name of the file at path without its folder and its last extension:
// "a/x.tar.gz" gives "x.tar", "a/.profile" and "a/" give "".
std::string FileBaseName(const std::string& path);

// Input to be echoed in a message, cut at about limit bytes with an
// ellipsis so that a huge value cannot flood the log or the terminal.
std::string EchoText(const std::string& text, size_t limit = 200);
