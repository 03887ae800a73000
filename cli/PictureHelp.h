#pragma once
#include <string>
#include <string_view>

// The help texts' lists of picture types, filled in from the picture-format
// table where a text names a field:
//   {written}             every extension written ("jpg, jpeg, ... or dpx")
//   {deep-only}           the extensions only the deep road writes (".tif, ...")
//   {eight-bit-written}   the extensions the 24-bit road writes
//   {eight-bit-names}     the types the 24-bit road reads ("JPEG, BMP or PNG")
//   {deep-names}          the types graded at their own precision
//   {deep-pictures}       the paragraph on those types, wrapped as the help is
std::string WithPictureLists(std::string_view text);
