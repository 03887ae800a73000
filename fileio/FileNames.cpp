#include "fileio/FileNames.h"

std::string FileExtension(std::string_view fileName) {
    const std::size_t slash = fileName.find_last_of('/');
    const std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return std::string();
    return std::string(fileName.substr(dot));
}
