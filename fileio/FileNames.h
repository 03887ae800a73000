#pragma once
#include <string>
#include <string_view>

// The extension of a file name: from its last dot that lies in the file's
// own name (not in a folder's), with the dot, as written; "" when there is
// none. "/a.b/look.3DL" gives ".3DL".
std::string FileExtension(std::string_view fileName);
