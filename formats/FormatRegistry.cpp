#include "FormatRegistry.h"

#include "Clipster3DFormat.h"
#include "Cube3DFormats.h"
#include "DecimalCubeFormats.h"
#include "FsiDitFormat.h"
#include "IntegerCubeFormats.h"
#include "Lut1DFormats.h"
#include "Lut1DPlainFormats.h"
#include "ThreeDlFormats.h"
#include "XmlFormats.h"

namespace {

// Both lists, filled once and owned until the process ends.
class TFormatRegistry {
public:
    TFormatRegistry()
    {
        AddFormats();
        AddProfiles();
    }

    std::vector<std::unique_ptr<TLUTFormat>> Formats;
    std::vector<std::unique_ptr<TLutOutputProfile>> Profiles;

private:
    template <typename TFormat>
    void Add()
    {
        Formats.push_back(std::make_unique<TFormat>());
    }

    void AddFormats()
    {
        Add<TCube3DTruelightLutFormat>();   // 0
        Add<TCube3DLutFormat>();            // 1
        Add<TLustre3DLutFormat>();          // 2
        Add<TPandora3DLutFormat>();         // 3
        Add<T3dlLutFormat>();               // 4
        Add<TNucoda3DLutFormat>();          // 5
        Add<TCodex3DLutFormat>();           // 6
        Add<TCube1DLutFormat>();            // 7
        Add<TClipster3DLutFormat>();        // 8
        Add<TLuther3DLutFormat>();          // 9
        Add<TColorFrontOSD3DLutFormat>();   // 10
        Add<TDavinciDat3DLutFormat>();      // 11
        Add<TQuantel3DLutFormat>();         // 12
        Add<TCodex1DLutFormat>();           // 13
        Add<TLustre1DLutFormat>();          // 14
        Add<TFilmlight1DLutFormat>();       // 15
        Add<TQuantel1DLutFormat>();         // 16
        Add<TStwo1DLutFormat>();            // 17
        Add<TNucoda1DLutWriterFormat>();    // 18
        Add<TColorFrontOSD1DLutFormat>();   // 19
        Add<TFusion1DLutFormat>();          // 20
        Add<TBlackmagic1DLutFormat>();      // 21
        Add<TCinetal1DLutFormat>();         // 22
        Add<TShake1DLutFormat>();           // 23
        Add<TDavinciILut1DLutFormat>();     // 24
        Add<TDavinciOLut1DLutFormat>();     // 25
        Add<TSpeedgradeLook3DLutFormat>();  // 26
        Add<TASC_CDL_Format>();             // 27
        Add<TPFClean3D_Format>();           // 28
        Add<TFSI_CFE_3DLutFormat>();        // 29
        Add<TFSI_DIT_3DLutFormat>();        // 30
    }

    void Profile(const char* name, const char* extension, int formatIndex, int size, int bits,
                 bool sizeSelectable = false, bool bitsSelectable = false)
    {
        Profiles.push_back(std::make_unique<TLutOutputProfile>(
            TLutOutputProfile{name, extension, formatIndex, size, bits, sizeSelectable, bitsSelectable}));
    }

    void AddProfiles()
    {
        Profile("3DL Scratch, Autodesk, Blackmagic, Cine-tal", "3dl", 4, 17, 12);
        Profile("3DL Fusion", "3dl", 4, 33, 12);
        Profile("Autodesk Lustre 3D", "lut", 2, 33, 12);
        Profile("Clipster 3D", "txt", 8, 17, 16);
        Profile("Codex 3D", "txt", 6, 17, 12);
        Profile("Colorfront OSD 3D", "3dmesh", 10, 17, 0);
        Profile("Cube 3D Iridas, Nuke, AfterEffects", "cube", 1, 32, 0);
        Profile("Cube 3D Davinci", "cube", 1, 33, 0, true);
        Profile("Cube 3D Truelight", "cube", 0, 32, 0);
        Profile("Davinci DAT 3D", "dat", 11, 33, 0);
        Profile("Dolby DD3", "dd3", 4, 17, 12);
        Profile("FSI CFE (Flanders Scientific) 3D", "cfe", 29, 17, 0);
        Profile("FSI DIT (Flanders Scientific) 3D", "dat", 30, 64, 10);
        Profile("Nucoda 3D", "cms", 5, 33, 0, true);
        Profile("Luther 3D", "txt", 9, 33, 10);
        Profile("Pandora 3D, Apple 3D m3d", "m3d", 3, 17, 16);
        Profile("PixelFarm PFClean 3D", "pfl", 28, 16, 8);
        Profile("Quantel 3D", "txt", 12, 17, 12);
        Profile("Technicolor 3D mga", "mga", 3, 33, 16);
        Profile("Autodesk Lustre 1D", "lut", 14, 65536, 16, true, true);
        Profile("Blackmagic HDLink 1D", "txt", 21, 1024, 0);
        Profile("Cine-tal 1D", "txt", 22, 1024, 10);
        Profile("Codex 1D, Sony SRW-1, Scratch 1D", "dat", 13, 1024, 10);
        Profile("Colorfront OSD 1D", "1dlut", 19, 1024, 0);
        Profile("Cube 1D", "cube", 7, 4096, 0);
        Profile("Filmlight Truelight 1D", "cube", 15, 4096, 0);
        Profile("Fusion 1D", "alut", 20, 65536, 16);
        Profile("Nucoda 1D", "cms", 18, 4096, 0);
        Profile("Quantel 1D", "txt", 16, 1024, 10);
        Profile("S.two 1D", "swto.xml", 17, 1024, 10);
        Profile("Shake 1D", "txt", 23, 65536, 16);
    }
};

TFormatRegistry& Registry()
{
    static TFormatRegistry registry;
    return registry;
}

}  // namespace

const std::vector<std::unique_ptr<TLUTFormat>>& LutFormats()
{
    return Registry().Formats;
}

const std::vector<std::unique_ptr<TLutOutputProfile>>& LutOutputProfiles()
{
    return Registry().Profiles;
}

TLUTFormat* GetLutFormat(int index)
{
    const auto& formats = LutFormats();
    if (index < 0 || static_cast<std::size_t>(index) >= formats.size())
        return nullptr;
    return formats[static_cast<std::size_t>(index)].get();
}

TLutOutputProfile* GetLutOutputProfile(int index)
{
    const auto& profiles = LutOutputProfiles();
    if (index < 0 || static_cast<std::size_t>(index) >= profiles.size())
        throw EError("List index out of bounds (" + std::to_string(index) + ")");
    return profiles[static_cast<std::size_t>(index)].get();
}

TLutOutputProfile* AddLutOutputProfile(const std::string& name, const std::string& extension,
                                       int formatIndex, int defaultSize, int defaultBits,
                                       bool sizeSelectable, bool bitsSelectable)
{
    auto& profiles = Registry().Profiles;
    profiles.push_back(std::make_unique<TLutOutputProfile>(TLutOutputProfile{
        name, extension, formatIndex, defaultSize, defaultBits, sizeSelectable, bitsSelectable}));
    return profiles.back().get();
}
