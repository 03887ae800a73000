#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "formats/CdlMaths.h"
#include "formats/LutFormat.h"

// ASC CDL collections: a ColorCorrectionCollection (.ccc) or a
// ColorDecisionList (.cdl) holding several ColorCorrection elements. One
// correction is read, the first or the one with a given id, and baked into a
// 33-point cube through the same ApplyCDL as a single correction. Within a
// correction the SOPNode, its Slope, Offset and Power and the SATNode may be
// missing; each missing part is the identity.

// The corrections of the document in document order.
std::vector<TCDLData> ReadCdlCorrections(std::string_view text);
// The correction with this id, or the first when id is empty; ELUTError
// naming the ids there are when none matches or the document holds none.
TCDLData ChooseCdlCorrection(std::string_view text, const std::string& id);
// The correction as a 33-point cube, with the comment "Name: <id>".
void BakeCdlCorrection(const TCDLData& correction, TLUT& lut);

// Reads the correction with this id (the first when empty) of a collection file.
void LoadCdlCollectionFile(const std::string& fileName, const std::string& id, TLUT& lut);
