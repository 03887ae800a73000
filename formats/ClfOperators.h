#pragma once
// The operator elements of a Common LUT Format process list, each read into
// an operation of the LUT's chain, in normalised values.
#include <memory>
#include <string>

#include "engine/lut/LutChain.h"

class TXMLNode;

// Stands in for blanks inside quoted attribute values while the document
// model reads the text, which splits attributes at every blank.
constexpr char kClfQuotedBlank = '\x1f';

// An attribute's value with its blanks restored.
std::string ClfAttribute(TXMLNode& node, const std::string& name);

// Whether an element's name is one of the format's: an operator read below,
// an operator of the extended format (refused by name), or a part of an
// operator (refused where it stands in for one).
bool IsClfElementName(const std::string& name);

// The operation of one operator element. version is the document's
// compCLFversion (0 when it states none). Raises ELUTError naming what is
// wrong or not supported; the operators that only the extended format of
// another program has are refused by name.
std::unique_ptr<TLutOperation> ReadClfOperator(TXMLNode& element, double version);
