#pragma once
#include <QString>

// The dialogs' filters that list what the program reads or writes, built
// from the tables of picture and LUT formats ("Name|*.a;*.b|Other|*.*").

// Adding references: every picture type read, together and by type, look
// documents, then every file.
QString ReferencePictureFilter();
// Opening a preview: every picture type written, together, then each type
// read, clips, every file.
QString PreviewPictureFilter();
// Saving and opening look documents.
QString LookDocumentFilter();
// Saving a graded picture: JPEG first (the default), then every other
// picture type written, then every file.
QString GradedPictureFilter();
// Previewing a LUT file: the extensions of every LUT format read, then every
// file.
QString LutFileFilter();
