#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/base/Error.h"
#include "engine/lut/CubeOperation.h"
#include "engine/lut/CurveOperation.h"
#include "engine/lut/LutChain.h"
#include "fileio/AtomicFile.h"
#include "formats/ClfOperators.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/LutFormat.h"
#include "formats/TextScanner.h"
#include "formats/xml/XMLNode.h"

// The Academy/ASC Common LUT Format: an XML ProcessList of operators.
//
// Reading takes LUT1D, LUT3D, Range and Matrix operators in any order and
// number. A lone LUT1D is read as the curve, a lone LUT3D as the cube and a
// LUT1D followed by a LUT3D as curve then cube; every other sequence is
// baked, operator after operator, into a curve (when every operator works
// on each channel alone) or into a cube of at least 33 points. Any other
// operator is refused by name. An element the format does not know, between
// the operators, is refused in a Common LUT Format document (a .clf file or
// a list with a compCLFversion), whose standard asks for that, and skipped
// in the older colour transform files (.ctf), as their own reader skips it. Integer bit depths scale the values as the
// format defines; each Description becomes a comment line.
//
// Writing gives a ProcessList with a content-derived id, the file's base
// name, the comment lines as Descriptions, a LUT1D for the curve of a
// curve-then-cube (or curve-only) LUT and a LUT3D with blue fastest, all at
// bit depth "32f" with linear and trilinear interpolation.

#include "formats/ClfFormat.h"

namespace {

class TClfLutFormat : public TLUTFormat {
public:
    TClfLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};

}  // namespace

namespace {

// A baked chain of operators gets at least this many points per axis, or
// entries when it works on each channel alone.
constexpr int kMinBakedCubeSize = 33;
constexpr int kMinBakedCurveSize = 4096;

// Each table operator holds a table of its own (up to 27 MB); no real
// process list comes near this many operators.
constexpr std::size_t kMaxOperators = 64;

// The text with the blanks inside quoted attribute values replaced by
// kClfQuotedBlank; comments, CDATA sections and content stay as they are.
std::string ProtectQuotedBlanks(std::string_view text) {
    std::string result(text);
    std::size_t i = 0;
    while (i < result.size()) {
        if (result.compare(i, 4, "<!--") == 0) {
            const std::size_t end = result.find("-->", i + 4);
            i = end == std::string::npos ? result.size() : end + 3;
        } else if (result.compare(i, 9, "<![CDATA[") == 0) {
            const std::size_t end = result.find("]]>", i + 9);
            i = end == std::string::npos ? result.size() : end + 3;
        } else if (result[i] == '<') {
            char quote = 0;
            for (++i; i < result.size() && (quote != 0 || result[i] != '>'); ++i) {
                const char c = result[i];
                if (quote != 0 && c == quote)
                    quote = 0;
                else if (quote == 0 && (c == '"' || c == '\''))
                    quote = c;
                else if (quote != 0 && static_cast<unsigned char>(c) <= ' ')
                    result[i] = kClfQuotedBlank;
            }
        } else {
            ++i;
        }
    }
    return result;
}

// The five predefined entities; anything else stays as written.
std::string DecodeEntities(std::string_view text) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}, {"&amp;", '&'}};
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        if (text[i] == '&')
            for (const auto& [entity, character] : kEntities)
                if (text.substr(i, entity.size()) == entity) {
                    result += character;
                    i += entity.size();
                    replaced = true;
                    break;
                }
        if (!replaced) result += text[i++];
    }
    return result;
}

std::string EncodeEntities(std::string_view text) {
    std::string result;
    for (const char c : text) {
        switch (c) {
            case '<':
                result += "&lt;";
                break;
            case '>':
                result += "&gt;";
                break;
            case '&':
                result += "&amp;";
                break;
            case '"':
                result += "&quot;";
                break;
            case '\'':
                result += "&apos;";
                break;
            default:
                result += static_cast<unsigned char>(c) < ' ' ? ' ' : c;
        }
    }
    return result;
}

// The newest CLF this reader knows: compCLFversion 3, and the 2024 edition
// of the SMPTE standard (its namespace, its "ST2136-1:YEAR" version and its
// Id in the urn:uuid form). Gives the stated compCLFversion, 0 for none
// (the SMPTE edition counts as 3).
double CheckVersion(TXMLNode& list) {
    static constexpr std::string_view kSmpteNamespace = "http://www.smpte-ra.org/ns/2136-1/";
    static constexpr std::string_view kSmpteVersion = "ST2136-1:";
    const std::string space = ClfAttribute(list, "xmlns");
    const bool smpte = space.starts_with(kSmpteNamespace);
    if (smpte) {
        double year = 0.0;
        if (!TryParseFloat(std::string_view(space).substr(kSmpteNamespace.size()), year) || year > 2024)
            throw ELUTError("The ProcessList's namespace \"" + space.substr(0, 80) +
                            "\" is newer than the 2024 edition, the newest read.");
    }
    // The version attribute of the older process lists (up to 2.0).
    if (const std::string older = ClfAttribute(list, "version"); !older.empty()) {
        // "major.minor", perhaps with a revision after a second dot.
        std::string_view number = TrimView(older);
        if (const std::size_t dot = number.find('.'); dot != std::string_view::npos)
            number = number.substr(0, number.find('.', dot + 1));
        double value = 0.0;
        if (!TryParseFloat(number, value) || !(value > 0))
            throw ELUTError("The ProcessList's version \"" + older.substr(0, 40) + "\" is not a version number.");
        if (value > 2.0)
            throw ELUTError("The ProcessList's version " + older.substr(0, 40) +
                            " is newer than 2.0, the newest read.");
    }
    const std::string version = ClfAttribute(list, "compCLFversion");
    double number = 0.0;
    if (version.starts_with(kSmpteVersion)) {
        double year = 0.0;
        if (!TryParseFloat(std::string_view(version).substr(kSmpteVersion.size()), year) || year > 2024)
            throw ELUTError("The ProcessList's compCLFversion \"" + version.substr(0, 40) +
                            "\" is newer than the 2024 edition, the newest read.");
        number = 3.0;
    } else if (!version.empty()) {
        if (!TryParseFloat(TrimView(version), number) || !(number > 0))
            throw ELUTError("The ProcessList's compCLFversion \"" + version.substr(0, 40) +
                            "\" is not a version number.");
        if (number > 3.0)
            throw ELUTError("The ProcessList's compCLFversion " + version.substr(0, 40) +
                            " is newer than 3.0, the newest version read.");
    }
    if (smpte) {
        if (list.HasNode("Id")) {
            const std::string id(TrimView(list.NodeByName("Id").Value.Text));
            if (!id.starts_with("urn:uuid:") || id.size() != 45)
                throw ELUTError("The ProcessList's Id \"" + id.substr(0, 60) + "\" is not of the form urn:uuid:UUID.");
        }
        return number == 0 ? 3.0 : number;
    }
    if (number >= 3.0 && TrimView(ClfAttribute(list, "id")).empty())
        throw ELUTError("The ProcessList has no id; version 3 asks for one.");
    return number;
}

// Every operator states its input and output depths, and each one's input
// depth is the output depth of the one before it.
void CheckBitDepths(TXMLNode& op, std::string& previousOut) {
    const std::string in = ClfAttribute(op, "inBitDepth");
    const std::string out = ClfAttribute(op, "outBitDepth");
    if (in.empty() || out.empty())
        throw ELUTError("The " + op.Name + " operator has no " + (in.empty() ? "inBitDepth" : "outBitDepth") + ".");
    if (!previousOut.empty() && in != previousOut)
        throw ELUTError("The " + op.Name + " operator's inBitDepth \"" + in.substr(0, 20) +
                        "\" differs from the outBitDepth \"" + previousOut.substr(0, 20) +
                        "\" of the operator before it.");
    previousOut = out;
}

bool IsMetadata(const std::string& name) {
    const std::string upper = UpperCase(name);
    return upper == "DESCRIPTION" || upper == "INPUTDESCRIPTOR" || upper == "OUTPUTDESCRIPTOR" || upper == "INFO" ||
           upper == "ID";
}

// An element that a colour transform file may hold between its operators
// and that is skipped: none of the format's names and no bit depths (which
// would make it an operator of a later version, refused by name).
bool IsSkippedElement(TXMLNode& element) {
    return !IsClfElementName(element.Name) && ClfAttribute(element, "inBitDepth").empty() &&
           ClfAttribute(element, "outBitDepth").empty();
}

// A Common LUT Format document by its extension or its version attribute.
bool IsStrictClf(TXMLNode& list, const std::string& name) {
    return UpperCase(FileExtension(name)) == ".CLF" || !ClfAttribute(list, "compCLFversion").empty();
}

TXMLNode& FindProcessList(const TXMLNode& root) {
    for (const auto& child : root.Children)
        if (UpperCase(child->Name) == "PROCESSLIST") return *child;
    throw ELUTError("The document holds no ProcessList.");
}

// The chain baked into the tables that the formats write: a curve when
// every operation works on each channel alone, else a cube, each at least as
// fine as the finest table in the chain.
void BakeChain(const TLutChain& chain, TLUT& lut) {
    if (chain.PerChannel()) {
        std::size_t length = kMinBakedCurveSize;
        for (std::size_t i = 0; i < chain.Size(); ++i)
            if (const auto* curve = dynamic_cast<const TCurveOperation*>(&chain.At(i)))
                length = std::max(length, curve->Entries().size());
        length = std::min<std::size_t>(length, kMaxCurveSize);
        for (std::size_t i = 0; i < length; ++i) {
            const double x = static_cast<double>(i) / static_cast<double>(length - 1);
            TRGBDouble colour{x, x, x};
            chain.Apply(colour);
            lut.Curve[i] = colour;
        }
        lut.CurveSize = static_cast<std::int32_t>(length);
        lut.Kind = lkCurve;
        return;
    }
    int size = kMinBakedCubeSize;
    for (std::size_t i = 0; i < chain.Size(); ++i)
        if (const auto* cube = dynamic_cast<const TCubeOperation*>(&chain.At(i)))
            size = std::max(size, cube->Table().CubeSize);
    const double last = size - 1;
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b < size; ++b) {
                TRGBDouble colour{r / last, g / last, b / last};
                chain.Apply(colour);
                lut.Cube[r][g][b] = colour;
            }
    lut.CubeSize = size;
    lut.Kind = lkCube;
}

// A plain curve over 0..1 that fits the LUT's own curve table.
const TCurveOperation* PlainCurve(const TLutOperation& operation) {
    const auto* curve = dynamic_cast<const TCurveOperation*>(&operation);
    return curve != nullptr && curve->IsPlain() && curve->Entries().size() <= kMaxCurveSize ? curve : nullptr;
}

// A trilinear cube over 0..1.
const TCubeOperation* PlainCube(const TLutOperation& operation) {
    const auto* cube = dynamic_cast<const TCubeOperation*>(&operation);
    return cube != nullptr && cube->IsPlain() ? cube : nullptr;
}

void CopyCurve(const TCurveOperation& from, TLUT& to) {
    std::copy(from.Entries().begin(), from.Entries().end(), to.Curve);
    to.CurveSize = static_cast<std::int32_t>(from.Entries().size());
}

void CopyCube(const TLUT& from, TLUT& to) {
    const int n = from.CubeSize;
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g) std::copy(from.Cube[r][g], from.Cube[r][g] + n, to.Cube[r][g]);
    to.CubeSize = n;
}

// 64-bit FNV-1a, for an id that follows the file's content.
std::uint64_t Fnv1a(std::string_view text, std::uint64_t hash) {
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::string Hex(std::uint64_t value, int digits) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kDigits[value & 15];
    return text;
}

// A UUID-shaped id derived from the document's body.
std::string ContentId(std::string_view body) {
    const std::uint64_t high = Fnv1a(body, 0xcbf29ce484222325ull);
    const std::uint64_t low = Fnv1a(body, 0x84222325cbf29ce4ull);
    return Hex(high >> 32, 8) + "-" + Hex((high >> 16) & 0xffff, 4) + "-" + Hex(high & 0xffff, 4) + "-" +
           Hex(low >> 48, 4) + "-" + Hex(low & 0xffffffffffffull, 12);
}

// A value with the fewest digits that read back as exactly that double.
std::string ExactDecimal(double value) {
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    (void)error;
    return std::string(buffer, end);
}

void AppendTriple(std::string& text, const TRGBDouble& v, bool exact) {
    const auto format = exact ? ExactDecimal : FormatDecimal;
    text += format(v.Red) + " " + format(v.Green) + " " + format(v.Blue) + "\n";
}

std::string CurveOperator(const TLUT& lut, bool exact) {
    const std::int32_t length = CheckedCurveSize(lut.CurveSize);
    std::string text =
        "    <LUT1D inBitDepth=\"32f\" outBitDepth=\"32f\" interpolation=\"linear\">\n"
        "        <Array dim=\"" +
        std::to_string(length) + " 3\">\n";
    for (std::int32_t i = 0; i < length; ++i) AppendTriple(text, lut.Curve[i], exact);
    return text + "        </Array>\n    </LUT1D>\n";
}

std::string CubeOperator(const TLUT& lut, bool exact) {
    const std::int32_t size = CheckedCubeSize(lut.CubeSize);
    const std::string n = std::to_string(size);
    std::string text =
        "    <LUT3D inBitDepth=\"32f\" outBitDepth=\"32f\" interpolation=\"trilinear\">\n"
        "        <Array dim=\"" +
        n + " " + n + " " + n + " 3\">\n";
    text.reserve(text.size() + static_cast<std::size_t>(size) * size * size * 32);
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b < size; ++b) AppendTriple(text, lut.Cube[r][g][b], exact);
    return text + "        </Array>\n    </LUT3D>\n";
}

}  // namespace

bool LooksLikeClf(std::string_view head) { return UpperCase(head).find("<PROCESSLIST") != std::string::npos; }

void ReadClf(std::string_view text, const std::string& name, TLUT& lut) {
    TXMLNode root;
    root.LoadFromText(ProtectQuotedBlanks(text));
    root.RequireWholeDocument(true);
    TXMLNode& list = FindProcessList(root);
    const double version = CheckVersion(list);
    const bool strict = IsStrictClf(list, name);
    std::vector<std::string> comments;
    auto chain = std::make_shared<TLutChain>();
    std::string previousDepth;
    for (const auto& child : list.Children) {
        if (child->Name.empty() || child->Name[0] == '!' || child->Name[0] == '?') continue;
        if (IsMetadata(child->Name)) {
            if (UpperCase(child->Name) == "DESCRIPTION")
                comments.push_back(DecodeEntities(TrimView(child->Value.Text)));
            continue;
        }
        if (!strict && IsSkippedElement(*child)) continue;
        if (chain->Size() == kMaxOperators)
            throw ELUTError("The ProcessList holds more than " + std::to_string(kMaxOperators) + " operators.");
        auto operation = ReadClfOperator(*child, version);
        CheckBitDepths(*child, previousDepth);
        chain->Append(std::move(operation));
    }
    if (chain->Size() == 0) throw ELUTError("The ProcessList holds no operator.");

    // A lone cube, a lone curve, or a curve then a cube are the LUT's own
    // tables; any other chain is kept and baked for the writers.
    const TCurveOperation* curve = PlainCurve(chain->At(0));
    const TCubeOperation* cube = PlainCube(chain->At(chain->Size() - 1));
    if (chain->Size() == 1 && cube != nullptr) {
        CopyCube(cube->Table(), lut);
        lut.Kind = lkCube;
    } else if (chain->Size() == 1 && curve != nullptr) {
        CopyCurve(*curve, lut);
        lut.Kind = lkCurve;
    } else if (chain->Size() == 2 && curve != nullptr && cube != nullptr) {
        CopyCurve(*curve, lut);
        CopyCube(cube->Table(), lut);
        lut.Kind = lkCurveThenCube;
    } else {
        BakeChain(*chain, lut);
        lut.Chain = std::move(chain);
    }
    lut.Comments = std::move(comments);
}

namespace {

// The comments as Descriptions, then the tables' operators.
std::string ClfBody(const TLUT& lut, bool exact) {
    std::string body;
    for (const std::string& comment : lut.Comments)
        body += "    <Description>" + EncodeEntities(TrimView(comment)) + "</Description>\n";
    if (lut.Kind == lkCurve || lut.Kind == lkCurveThenCube) body += CurveOperator(lut, exact);
    if (lut.Kind != lkCurve) body += CubeOperator(lut, exact);
    return body;
}

std::string ProcessList(const std::string& body, const std::string& name) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<ProcessList compCLFversion=\"3\" id=\"" +
           ContentId(body) + "\" name=\"" + EncodeEntities(name) + "\">\n" + body + "</ProcessList>\n";
}

}  // namespace

std::string WriteClf(const TLUT& lut, const std::string& name) {
    return ProcessList("    <Description>" + EncodeEntities(name) + "</Description>\n" + ClfBody(lut, false), name);
}

std::string WriteExactClf(const TLUT& lut) {
    if (lut.Chain) throw EError("A chain of operations cannot be written exactly as tables.");
    return ProcessList(ClfBody(lut, true), "");
}

TClfLutFormat::TClfLutFormat()
    : TLUTFormat({.Id = "clf",
                  .Name = "Academy/ASC Common LUT Format",
                  .Extensions = {"clf"},
                  .KeepsCurveBeforeCube = true,
                  .DetectedBefore = "clipster-3d"}) {}

OMBRANE_LUT_FORMAT(TClfLutFormat)

bool TClfLutFormat::CanRead(std::string_view head, const std::string&) const {
    return LooksLikeClf(head.substr(0, 4096));
}

void TClfLutFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    ReadClf(bytes, name, lut);
}

std::string TClfLutFormat::Write(const TLUT& lut, int, const std::string& name) const {
    return WriteClf(lut, BaseNameWithoutExtension(name));
}
