// Opening files without being led astray: paths beneath a folder that no
// symbolic link can redirect, reads that a FIFO or device cannot block,
// and input echoed back in messages cut to a readable length.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace ctserver {

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

// Why a file cannot be read as an option or import file.
enum class ReadProblem { None, Missing, NotRegular, TooLarge, Io };

// Reads a whole regular file of at most maxBytes through an open
// descriptor.  The descriptor must have been opened with O_NONBLOCK: a
// FIFO, socket or device is refused before a byte is read.
ReadProblem ReadRegularFd(int fd, size_t maxBytes, std::string* text);

// Opens path without blocking (O_NONBLOCK) and reads it as above.  *error
// gets one line naming the file when it fails.
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string* text, std::string* error);

// Input to be echoed in a message, cut at about 200 characters with an
// ellipsis so that a huge value cannot flood the log or the terminal.
std::string EchoText(const std::string& text, size_t limit = 200);

}  // namespace ctserver
