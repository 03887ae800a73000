#pragma once
#include <cstdint>
#include <string>

// The one way the program reads a whole file, for LUT files and pictures
// alike. Only regular files are read (a device or a named pipe could deliver
// without end), at most the given number of bytes, and every failure raises
// EError naming the file and the system's reason.

// No LUT file comes near this (the largest text cube is about 30 MB); it
// keeps hostile input from exhausting memory.
constexpr std::uint64_t kMaxLutFileBytes = 256ull * 1024 * 1024;
// A picture file above this is not one the program could hold decoded.
constexpr std::uint64_t kMaxPictureFileBytes = 1024ull * 1024 * 1024;

// Reads the whole file. Refuses a file that is not a regular file and one
// larger than maxBytes, whether the size is declared or only found while
// reading.
std::string ReadFileBytes(const std::string& fileName, std::uint64_t maxBytes = kMaxLutFileBytes);

// The first count bytes of the file (fewer if the file is shorter). Refuses
// what is not a regular file as ReadFileBytes does, whatever its size;
// raises EError with the system's reason when the file cannot be opened.
std::string ReadFileHead(const std::string& fileName, std::size_t count);

// Opens a regular file of at most maxBytes (declared size) for reading, with
// the checks and messages of ReadFileBytes; the caller closes the descriptor.
// For readers that take a file in pieces.
int OpenRegularFile(const std::string& fileName, std::uint64_t maxBytes);

// Why the file could not be read by the functions above, without its name:
// "" for a regular file of at most maxBytes; else "it is not a regular
// file", "it is too large (more than N MiB)" or the system's reason. For
// checking files another library will read, whose names may not be shown.
std::string RegularFileProblem(const std::string& fileName, std::uint64_t maxBytes);
