#pragma once
// The LUT formats stored as XML documents. They read through the XML
// document model and write their documents as literal lines.
#include "AscCdlFormat.h"
#include "PFClean3DFormat.h"
#include "SpeedgradeLook3DFormat.h"
#include "Stwo1DFormat.h"
