// The format list and the output-profile list.
//
// Adding a format: write its class in a file of its own, inside an anonymous
// namespace (a header only for what other parts of the program call), give
// its constructor the format's description
// (TLutFormatInfo: id, name, extensions, 1D/3D, read/write, sizes, bit
// depths) and end the file with OMBRANE_LUT_FORMAT(TTheClass). Then append
// one line X(TTheClass) to OMBRANE_LUT_FORMAT_LIST below: always at the end,
// since callers and users' scripts know a format by its index. Output
// profiles that write the format cite its id in AddProfiles. Its test file
// goes to tests/formats; the registry tests need no change.
#include "formats/FormatRegistry.h"

#include <stdexcept>

// Every format class, in format-list order (index 0 first).
#define OMBRANE_LUT_FORMAT_LIST(X) \
    X(TCube3DTruelightLutFormat)   \
    X(TCube3DLutFormat)            \
    X(TLustre3DLutFormat)          \
    X(TPandora3DLutFormat)         \
    X(T3dlLutFormat)               \
    X(TNucoda3DLutFormat)          \
    X(TCodex3DLutFormat)           \
    X(TCube1DLutFormat)            \
    X(TClipster3DLutFormat)        \
    X(TLuther3DLutFormat)          \
    X(TColorFrontOSD3DLutFormat)   \
    X(TDavinciDat3DLutFormat)      \
    X(TQuantel3DLutFormat)         \
    X(TCodex1DLutFormat)           \
    X(TLustre1DLutFormat)          \
    X(TFilmlight1DLutFormat)       \
    X(TQuantel1DLutFormat)         \
    X(TStwo1DLutFormat)            \
    X(TNucoda1DLutWriterFormat)    \
    X(TColorFrontOSD1DLutFormat)   \
    X(TFusion1DLutFormat)          \
    X(TBlackmagic1DLutFormat)      \
    X(TCinetal1DLutFormat)         \
    X(TShake1DLutFormat)           \
    X(TDavinciILut1DLutFormat)     \
    X(TDavinciOLut1DLutFormat)     \
    X(TSpeedgradeLook3DLutFormat)  \
    X(TASC_CDL_Format)             \
    X(TPFClean3D_Format)           \
    X(TFSI_CFE_3DLutFormat)        \
    X(TFSI_DIT_3DLutFormat)        \
    X(THaldClutFormat)             \
    X(TClfLutFormat)               \
    X(TSpi3DLutFormat)             \
    X(TSpi1DLutFormat)             \
    X(TCinespace3DLutFormat)       \
    X(TCinespace1DLutFormat)       \
    X(TCdlCollectionFormat)

// The factories OMBRANE_LUT_FORMAT defines in each format's file.
#define OMBRANE_DECLARE_LUT_FORMAT(FormatClass) std::unique_ptr<TLUTFormat> NewLutFormat_##FormatClass();
OMBRANE_LUT_FORMAT_LIST(OMBRANE_DECLARE_LUT_FORMAT)
#undef OMBRANE_DECLARE_LUT_FORMAT

namespace {

// Both lists, filled once and owned until the process ends.
class TFormatRegistry {
public:
    TFormatRegistry() {
#define OMBRANE_ADD_LUT_FORMAT(FormatClass) Formats.push_back(NewLutFormat_##FormatClass());
        OMBRANE_LUT_FORMAT_LIST(OMBRANE_ADD_LUT_FORMAT)
#undef OMBRANE_ADD_LUT_FORMAT
        AddProfiles();
        OrderDetection();
    }

    std::vector<std::unique_ptr<TLUTFormat>> Formats;
    std::vector<std::unique_ptr<TLutOutputProfile>> Profiles;
    std::vector<int> DetectionOrder;

private:
    void OrderDetection() {
        const auto detectedBefore = [this](std::size_t i) { return Formats[i]->Info().DetectedBefore; };
        for (std::size_t i = 0; i < Formats.size(); ++i) {
            if (!detectedBefore(i).empty()) continue;
            for (std::size_t j = 0; j < Formats.size(); ++j)
                if (detectedBefore(j) == Formats[i]->Info().Id) DetectionOrder.push_back(static_cast<int>(j));
            DetectionOrder.push_back(static_cast<int>(i));
        }
        if (DetectionOrder.size() != Formats.size())
            throw std::logic_error("A format is detected before an unknown format or one detected early itself");
    }

    int IndexOf(const char* formatId) const {
        for (std::size_t i = 0; i < Formats.size(); ++i)
            if (Formats[i]->Info().Id == formatId) return static_cast<int>(i);
        throw std::logic_error(std::string("An output profile cites the unknown format ") + formatId);
    }

    void Profile(const char* name, const char* extension, const char* formatId, int size, int bits,
                 bool sizeSelectable = false, bool bitsSelectable = false) {
        Profiles.push_back(std::make_unique<TLutOutputProfile>(
            TLutOutputProfile{name, extension, IndexOf(formatId), size, bits, sizeSelectable, bitsSelectable}));
    }

    // In the order the export dialog lists them; append new profiles at the end.
    void AddProfiles() {
        Profile("3DL Scratch, Autodesk, Blackmagic, Cine-tal", "3dl", "3dl", 17, 12);
        Profile("3DL Fusion", "3dl", "3dl", 33, 12);
        Profile("Autodesk Lustre 3D", "lut", "lustre-3d", 33, 12);
        Profile("Clipster 3D", "txt", "clipster-3d", 17, 16);
        Profile("Codex 3D", "txt", "codex-3d", 17, 12);
        Profile("Colorfront OSD 3D", "3dmesh", "colorfront-osd-3d", 17, 0);
        Profile("Cube 3D Iridas, Nuke, AfterEffects", "cube", "cube-3d", 32, 0);
        Profile("Cube 3D Davinci", "cube", "cube-3d", 33, 0, true);
        Profile("Cube 3D Truelight", "cube", "cube-3d-truelight", 32, 0);
        Profile("Davinci DAT 3D", "dat", "davinci-dat-3d", 33, 0);
        Profile("Dolby DD3", "dd3", "3dl", 17, 12);
        Profile("FSI CFE (Flanders Scientific) 3D", "cfe", "fsi-cfe-3d", 17, 0);
        Profile("FSI DIT (Flanders Scientific) 3D", "dat", "fsi-dit-3d", 64, 10);
        Profile("Nucoda 3D", "cms", "nucoda-3d", 33, 0, true);
        Profile("Luther 3D", "txt", "luther-3d", 33, 10);
        Profile("Pandora 3D, Apple 3D m3d", "m3d", "pandora-3d", 17, 16);
        Profile("PixelFarm PFClean 3D", "pfl", "pfclean-3d", 16, 8);
        Profile("Quantel 3D", "txt", "quantel-3d", 17, 12);
        Profile("Technicolor 3D mga", "mga", "pandora-3d", 33, 16);
        Profile("Autodesk Lustre 1D", "lut", "lustre-1d", 65536, 16, true, true);
        Profile("Blackmagic HDLink 1D", "txt", "blackmagic-1d", 1024, 0);
        Profile("Cine-tal 1D", "txt", "cinetal-1d", 1024, 10);
        Profile("Codex 1D, Sony SRW-1, Scratch 1D", "dat", "codex-1d", 1024, 10);
        Profile("Colorfront OSD 1D", "1dlut", "colorfront-osd-1d", 1024, 0);
        Profile("Cube 1D", "cube", "cube-1d", 4096, 0);
        Profile("Filmlight Truelight 1D", "cube", "filmlight-1d", 4096, 0);
        Profile("Fusion 1D", "alut", "fusion-1d", 65536, 16);
        Profile("Nucoda 1D", "cms", "nucoda-1d", 4096, 0);
        Profile("Quantel 1D", "txt", "quantel-1d", 1024, 10);
        Profile("S.two 1D", "swto.xml", "stwo-1d", 1024, 10);
        Profile("Shake 1D", "txt", "shake-1d", 65536, 16);
        Profile("Hald CLUT", "png", "hald-clut", 64, 0, true);
        Profile("Academy/ASC CLF", "clf", "clf", 33, 0, true);
        Profile("Sony Imageworks spi3d", "spi3d", "spi3d", 33, 0, true);
        Profile("Cinespace 3D", "csp", "cinespace-3d", 33, 0, true);
        Profile("Sony Imageworks spi1d", "spi1d", "spi1d", 4096, 0, true);
        Profile("Cinespace 1D", "csp", "cinespace-1d", 4096, 0, true);
    }
};

TFormatRegistry& Registry() {
    static TFormatRegistry registry;
    return registry;
}

}  // namespace

const std::vector<std::unique_ptr<TLUTFormat>>& LutFormats() { return Registry().Formats; }

const std::vector<std::unique_ptr<TLutOutputProfile>>& LutOutputProfiles() { return Registry().Profiles; }

int LutFormatIndex(std::string_view id) {
    const auto& formats = LutFormats();
    for (std::size_t i = 0; i < formats.size(); ++i)
        if (formats[i]->Info().Id == id) return static_cast<int>(i);
    return -1;
}

TLUTFormat* FindLutFormat(std::string_view id) { return GetLutFormat(LutFormatIndex(id)); }

const std::vector<int>& LutDetectionOrder() { return Registry().DetectionOrder; }

TLUTFormat* GetLutFormat(int index) {
    const auto& formats = LutFormats();
    if (index < 0 || static_cast<std::size_t>(index) >= formats.size()) return nullptr;
    return formats[static_cast<std::size_t>(index)].get();
}

TLutOutputProfile* GetLutOutputProfile(int index) {
    const auto& profiles = LutOutputProfiles();
    if (index < 0 || static_cast<std::size_t>(index) >= profiles.size())
        throw EError("List index out of bounds (" + std::to_string(index) + ")");
    return profiles[static_cast<std::size_t>(index)].get();
}

TLutOutputProfile* AddLutOutputProfile(const std::string& name, const std::string& extension, int formatIndex,
                                       int defaultSize, int defaultBits, bool sizeSelectable, bool bitsSelectable) {
    auto& profiles = Registry().Profiles;
    profiles.push_back(std::make_unique<TLutOutputProfile>(
        TLutOutputProfile{name, extension, formatIndex, defaultSize, defaultBits, sizeSelectable, bitsSelectable}));
    return profiles.back().get();
}
