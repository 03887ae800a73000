#pragma once
#include <QString>

// The open dialogs' filters that list what the program reads, built from the
// tables of picture and LUT formats ("Name|*.a;*.b|Other|*.*").

// Adding references: every picture type read, together and by type, then
// every file.
QString ReferencePictureFilter();
// Previewing a LUT file: the extensions of every LUT format read, then every
// file.
QString LutFileFilter();
