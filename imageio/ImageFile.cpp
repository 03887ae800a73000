#include "ImageFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QString>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <csetjmp>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <vector>
#include <new>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <jerror.h>

#include "AtomicFile.h"
#include "BitmapLayout.h"
#include "ColourProfile.h"
#include "DeepGrade.h"
#include "DeepImageFile.h"
#include "Error.h"
#include "FileRead.h"
#include "IccProfile.h"
#include "PixelBudget.h"
#include "QtImage.h"

namespace {

QString ToQ(const std::string& text) { return QString::fromStdString(text); }

std::string LowerExtension(const std::string& fileName) {
    return QFileInfo(ToQ(fileName)).suffix().toLower().toStdString();
}

void CheckPictureSize(long long width, long long height) {
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
        width * height > kMaxPicturePixels)
        throw EError("The picture is too large (" + std::to_string(width) + " x " +
                     std::to_string(height) + " pixels)");
}

// ---- libjpeg glue -------------------------------------------------------
// libjpeg reports fatal errors through error_exit, which must not return.
// We jump back to the function that started the work and raise the error
// there; no C++ object is created between the setjmp and the jump.

struct TJpegErrorManager {
    jpeg_error_mgr Public;
    std::jmp_buf Jump;
    int Code = 0;
};

extern "C" void JpegErrorExit(j_common_ptr info) {
    auto* manager = reinterpret_cast<TJpegErrorManager*>(info->err);
    manager->Code = info->err->msg_code;
    std::longjmp(manager->Jump, 1);
}

extern "C" void JpegSilentMessage(j_common_ptr) {}

// libjpeg only warns about damaged data (a stream that ends early, a
// premature marker, bad Huffman codes) and fills what is missing with grey.
// A damaged picture is never taken as whole, so every warning ends the decode
// as an error.
extern "C" void JpegEmitMessage(j_common_ptr info, int level) {
    if (level < 0) JpegErrorExit(info);
}

void InstallErrorManager(TJpegErrorManager& manager) {
    jpeg_std_error(&manager.Public);
    manager.Public.error_exit = JpegErrorExit;
    manager.Public.output_message = JpegSilentMessage;
    manager.Public.emit_message = JpegEmitMessage;
}

// What the numbers of a file that ends too early mean; the others keep
// libjpeg's bare number.
std::string JpegMessage(int code) {
    const std::string number = "JPEG error #" + std::to_string(code);
    if (code == JERR_INPUT_EMPTY || code == JERR_INPUT_EOF || code == JWRN_JPEG_EOF)
        return number + ": the file ends before the picture data";
    return number;
}

// Decodes in three stages so that memory for the picture is taken outside the
// region that libjpeg may jump out of.
struct TJpegDecoder {
    jpeg_decompress_struct Info{};
    TJpegErrorManager Errors;
    bool Created = false;
    bool Cmyk = false;
    bool Early = false;     // rows are read while the last scan comes in
    bool LateScan = false;  // a scan came after the rows were read

    ~TJpegDecoder() {
        if (Created) jpeg_destroy_decompress(&Info);
    }

    // Reads the header; false on a libjpeg error (Errors.Code holds it).
    bool ReadHeader(std::string_view bytes) { return ReadHeaderFrom(&bytes, nullptr); }
    // The same from an open file, read in small pieces as decoding goes on.
    bool ReadHeader(std::FILE* file) { return ReadHeaderFrom(nullptr, file); }

    bool ReadHeaderFrom(const std::string_view* bytes, std::FILE* file) {
        InstallErrorManager(Errors);
        Info.err = &Errors.Public;
        if (setjmp(Errors.Jump)) return false;
        jpeg_create_decompress(&Info);
        Created = true;
        if (bytes != nullptr)
            jpeg_mem_src(&Info, reinterpret_cast<const unsigned char*>(bytes->data()),
                         static_cast<unsigned long>(bytes->size()));
        else
            jpeg_stdio_src(&Info, file);
        jpeg_save_markers(&Info, JPEG_APP0 + 2, 0xFFFF);
        jpeg_read_header(&Info, TRUE);
        Cmyk = Info.jpeg_color_space == JCS_CMYK || Info.jpeg_color_space == JCS_YCCK;
        Info.out_color_space = Cmyk ? JCS_CMYK : JCS_EXT_BGR;
        return true;
    }

    bool Start() {
        if (setjmp(Errors.Jump)) return false;
        jpeg_start_decompress(&Info);
        return true;
    }

    // As Start, but a progressive file is read in buffered-image mode so
    // that its rows come out while its last scan is still being read. Once a
    // scan brings every coefficient of every component to full precision,
    // each row of blocks is final as soon as that scan has passed it, and
    // libjpeg reads the scan just far enough ahead of the rows asked for.
    // Rows read so are those of Start unless a scan follows the one that
    // completed the coefficients; Finish then sets LateScan.
    bool StartEarly() {
        if (setjmp(Errors.Jump)) return false;
        Early = Info.progressive_mode != 0;
        Info.buffered_image = Early ? TRUE : FALSE;
        jpeg_start_decompress(&Info);
        if (!Early) return true;
        while (!CoefficientsComplete()) {
            const int status = jpeg_consume_input(&Info);
            if (status == JPEG_REACHED_EOI || status == JPEG_SUSPENDED) break;
        }
        jpeg_start_output(&Info, Info.input_scan_number);
        return true;
    }

    // Reads the next count scan lines to rows lying stride bytes apart;
    // CMYK lines go through rowBuffer.
    bool ReadRows(unsigned char* rows, int count, std::size_t stride, unsigned char* rowBuffer) {
        if (setjmp(Errors.Jump)) return false;
        for (int i = 0; i < count; ++i) {
            unsigned char* target = rows + static_cast<std::size_t>(i) * stride;
            JSAMPROW row = Cmyk ? rowBuffer : target;
            jpeg_read_scanlines(&Info, &row, 1);
            if (Cmyk) CmykToBgr(rowBuffer, target, static_cast<int>(Info.output_width));
        }
        return true;
    }

    bool Finish() {
        if (setjmp(Errors.Jump)) return false;
        if (Early) {
            jpeg_finish_output(&Info);
            while (!jpeg_input_complete(&Info))
                if (jpeg_consume_input(&Info) == JPEG_SUSPENDED) break;
            LateScan = Info.input_scan_number > Info.output_scan_number;
        }
        jpeg_finish_decompress(&Info);
        return true;
    }

    // True when the scans read so far (the current one included) leave no
    // coefficient short of full precision.
    // The ICC profile of the APP2 segments read with the header.
    std::string IccProfile() const {
        std::vector<std::string_view> payloads;
        for (jpeg_saved_marker_ptr marker = Info.marker_list; marker != nullptr; marker = marker->next)
            if (marker->marker == JPEG_APP0 + 2)
                payloads.emplace_back(reinterpret_cast<const char*>(marker->data), marker->data_length);
        return JoinJpegIccSegments(payloads);
    }

    bool CoefficientsComplete() const {
        for (int component = 0; component < Info.num_components; ++component)
            for (int k = 0; k < DCTSIZE2; ++k)
                if (Info.coef_bits[component][k] != 0) return false;
        return true;
    }

    // Adobe writes CMYK JPEG files inverted; libjpeg hands them on as stored.
    static void CmykToBgr(const unsigned char* cmyk, unsigned char* bgr, int width) {
        for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
            const int k = cmyk[3];
            bgr[0] = static_cast<unsigned char>((cmyk[2] * k + 127) / 255);
            bgr[1] = static_cast<unsigned char>((cmyk[1] * k + 127) / 255);
            bgr[2] = static_cast<unsigned char>((cmyk[0] * k + 127) / 255);
        }
    }
};

// A libjpeg destination that writes the stream to a file descriptor in
// pieces; a failed write ends the encoding with its errno kept.
struct TJpegFileDestination {
    jpeg_destination_mgr Public{};
    int Descriptor = -1;
    int Error = 0;
    std::vector<unsigned char> Buffer = std::vector<unsigned char>(1 << 16);

    explicit TJpegFileDestination(int descriptor) : Descriptor(descriptor) {
        Public.init_destination = Init;
        Public.empty_output_buffer = Empty;
        Public.term_destination = Term;
    }

    static TJpegFileDestination& Of(j_compress_ptr info) {
        return *reinterpret_cast<TJpegFileDestination*>(info->dest);
    }
    static void Init(j_compress_ptr info) {
        TJpegFileDestination& self = Of(info);
        self.Public.next_output_byte = self.Buffer.data();
        self.Public.free_in_buffer = self.Buffer.size();
    }
    void Flush(j_compress_ptr info, std::size_t count) {
        Error = WriteFully(Descriptor, std::string_view(reinterpret_cast<const char*>(Buffer.data()), count));
        if (Error != 0) ERREXIT(info, JERR_FILE_WRITE);
    }
    static boolean Empty(j_compress_ptr info) {
        TJpegFileDestination& self = Of(info);
        self.Flush(info, self.Buffer.size());
        Init(info);
        return TRUE;
    }
    static void Term(j_compress_ptr info) {
        TJpegFileDestination& self = Of(info);
        self.Flush(info, self.Buffer.size() - self.Public.free_in_buffer);
    }
};

struct TJpegEncoder {
    jpeg_compress_struct Info{};
    TJpegErrorManager Errors;
    bool Created = false;
    // The buffer handed to libjpeg at the start; libjpeg replaces it (without
    // freeing it) only when the stream outgrows it.
    unsigned char* Initial = nullptr;
    unsigned char* Output = nullptr;
    unsigned long OutputSize = 0;
    // The colour profile written after the header; none when empty.
    std::string Icc;

    ~TJpegEncoder() {
        if (Created) jpeg_destroy_compress(&Info);
        if (Output != Initial) std::free(Output);
        std::free(Initial);
    }

    // Room for three bytes a pixel and the headers: more than a quality-100
    // stream of a photograph takes, so the stream is written once, without
    // the copies of a growing buffer. Pages that are never written cost
    // nothing.
    void ReserveOutput(int width, int height) {
        const unsigned long size = static_cast<unsigned long>(width) * height * 3 + 65536;
        Initial = static_cast<unsigned char*>(std::malloc(size));
        Output = Initial;
        OutputSize = Initial != nullptr ? size : 0;
    }

    bool Encode(const TImage& image, int quality) {
        if (!Begin(image.Width(), image.Height(), quality)) return false;
        if (setjmp(Errors.Jump)) return false;
        while (Info.next_scanline < Info.image_height) {
            JSAMPROW row = const_cast<unsigned char*>(image.Row(static_cast<int>(Info.next_scanline)));
            jpeg_write_scanlines(&Info, &row, 1);
        }
        jpeg_finish_compress(&Info);
        return true;
    }

    // The stream's header; rows follow with WriteStrip.
    // With a destination the stream goes there, else into Output.
    bool Begin(int width, int height, int quality, TJpegFileDestination* destination = nullptr) {
        if (destination == nullptr) ReserveOutput(width, height);
        InstallErrorManager(Errors);
        Info.err = &Errors.Public;
        if (setjmp(Errors.Jump)) return false;
        jpeg_create_compress(&Info);
        Created = true;
        if (destination != nullptr)
            Info.dest = &destination->Public;
        else
            jpeg_mem_dest(&Info, &Output, &OutputSize);
        Info.image_width = static_cast<JDIMENSION>(width);
        Info.image_height = static_cast<JDIMENSION>(height);
        Info.input_components = 3;
        Info.in_color_space = JCS_EXT_BGR;
        jpeg_set_defaults(&Info);
        jpeg_set_quality(&Info, quality, TRUE);
        jpeg_start_compress(&Info, TRUE);
        if (!Icc.empty())
            jpeg_write_icc_profile(&Info, reinterpret_cast<const JOCTET*>(Icc.data()), static_cast<unsigned>(Icc.size()));
        return true;
    }

    // The strip's top count rows; the stream is finished after its last row.
    bool WriteStrip(const TImage& strip, int count) {
        if (setjmp(Errors.Jump)) return false;
        for (int y = 0; y < count && Info.next_scanline < Info.image_height; ++y) {
            JSAMPROW row = const_cast<unsigned char*>(strip.Row(y));
            jpeg_write_scanlines(&Info, &row, 1);
        }
        if (Info.next_scanline == Info.image_height) jpeg_finish_compress(&Info);
        return true;
    }
};

// Encodes the image; the stream stays in the encoder.
void EncodeInto(TJpegEncoder& encoder, const TImage& image, int quality) {
    if (image.Empty()) throw EError("There is no picture to write");
    if (!encoder.Encode(image, quality)) throw EError(JpegMessage(encoder.Errors.Code));
}

// ---- files --------------------------------------------------------------

void WriteWholeFile(const std::string& fileName, const char* bytes, std::size_t size) {
    WriteFileAtomically(fileName, std::string_view(bytes, size));
}

// The size a PNG file declares in its header, read without libpng, whose
// reader may stop at a later chunk before it reports the size. Nothing is
// checked when the file does not start like a PNG file.
void CheckDeclaredPngSize(std::string_view head) {
    if (head.size() < 24 || !head.starts_with("\x89PNG\r\n\x1a\n") || head.substr(12, 4) != "IHDR") return;
    auto bigEndian = [&](int at) {
        long long value = 0;
        for (int i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(head[at + i]);
        return value;
    };
    CheckPictureSize(bigEndian(16), bigEndian(20));
}

// BMP and PNG through Qt's readers, the format forced by the extension.
void LoadQtPicture(const std::string& bytes, const char* format, const std::string& damaged, TImage& target) {
    if (std::string_view(format) == "png") CheckDeclaredPngSize(bytes);
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer file(&data);
    file.open(QIODevice::ReadOnly);
    QImageReader reader(&file, format);
    reader.setAutoDetectImageFormat(false);
    // Qt reports a top-down bitmap's stored height, which is negative; its
    // reader decodes such a bitmap all the same.
    const QSize declared = reader.size();
    const long long width = declared.width(), height = std::llabs(declared.height());
    if (width <= 0 || height <= 0) throw EError(damaged);
    CheckPictureSize(width, height);
    if (std::string_view(format) == "bmp" && !BitmapDataComplete(bytes)) throw EError(damaged);
    // Qt's picture at up to 4 bytes a pixel, then the program's at 3.
    TPixelReservation pixels = PicturePixelBudget().Reserve(static_cast<std::uint64_t>(width) * height * 7);
    QImageReader::setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)) + 1);
    QImage picture;
    if (!reader.read(&picture) || picture.isNull()) {
        throw EError(damaged);
    }
    target = ImageFromQImage(picture);
    KeepForJob(std::move(pixels));
}

[[noreturn]] void RaiseJpegError(const TJpegDecoder& decoder) { throw EError(JpegMessage(decoder.Errors.Code)); }

// A stream with less than a byte for every 64 pixels it declares is too
// small to be sure of its size (only very flat or progressive pictures come
// so small, damaged or hostile ones often): its rows are decoded in bands,
// so memory grows only with the data that is really there, and copied into
// the picture at the end. Other streams are decoded into the picture at once.
constexpr long long kPixelsPerPlausibleByte = 64;
constexpr int kBandRows = 64;

TImage DecodeInBands(TJpegDecoder& decoder, unsigned char* rowBuffer) {
    const int width = static_cast<int>(decoder.Info.output_width);
    const int height = static_cast<int>(decoder.Info.output_height);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    std::vector<std::vector<unsigned char>> bands;
    for (int y = 0; y < height; y += kBandRows) {
        const int count = std::min(kBandRows, height - y);
        bands.emplace_back(rowBytes * static_cast<std::size_t>(count));
        if (!decoder.ReadRows(bands.back().data(), count, rowBytes, rowBuffer)) RaiseJpegError(decoder);
    }
    if (!decoder.Finish()) RaiseJpegError(decoder);
    TImage image(width, height);
    for (int y = 0; y < height; ++y) {
        std::vector<unsigned char>& band = bands[static_cast<std::size_t>(y / kBandRows)];
        std::memcpy(image.Row(y), band.data() + static_cast<std::size_t>(y % kBandRows) * rowBytes, rowBytes);
        if (y % kBandRows == kBandRows - 1) std::vector<unsigned char>().swap(band);
    }
    return image;
}

TImage DecodeAtOnce(TJpegDecoder& decoder, unsigned char* rowBuffer) {
    TImage image(static_cast<int>(decoder.Info.output_width), static_cast<int>(decoder.Info.output_height));
    if (!decoder.ReadRows(image.Row(0), image.Height(), image.Stride(), rowBuffer) || !decoder.Finish())
        RaiseJpegError(decoder);
    return image;
}

void DecodeJpegInto(std::string_view bytes, TImage& target) {
    TJpegDecoder decoder;
    if (!decoder.ReadHeader(bytes)) RaiseJpegError(decoder);
    CheckPictureSize(decoder.Info.image_width, decoder.Info.image_height);
    if (!decoder.Start()) RaiseJpegError(decoder);
    std::vector<unsigned char> rowBuffer(decoder.Cmyk ? static_cast<std::size_t>(decoder.Info.output_width) * 4 : 0);
    const long long pixels = static_cast<long long>(decoder.Info.output_width) * decoder.Info.output_height;
    const bool plausible = static_cast<long long>(bytes.size()) * kPixelsPerPlausibleByte >= pixels;
    // Decoding in bands holds the bands and the picture at the end.
    TPixelReservation memory = PicturePixelBudget().Reserve(static_cast<std::uint64_t>(pixels) * (plausible ? 3 : 6));
    target = plausible ? DecodeAtOnce(decoder, rowBuffer.data()) : DecodeInBands(decoder, rowBuffer.data());
    KeepForJob(std::move(memory));
}

}  // namespace

void DecodeJpeg(std::string_view bytes, TImage& target) {
    try {
        DecodeJpegInto(bytes, target);
    } catch (const std::bad_alloc&) {
        throw EError("Not enough memory to decode the picture");
    }
}

std::string EncodeJpeg(const TImage& image, int quality) {
    TJpegEncoder encoder;
    EncodeInto(encoder, image, quality);
    return std::string(reinterpret_cast<const char*>(encoder.Output), encoder.OutputSize);
}

namespace {

// The profile the file's bytes carry, a damaged one refused naming the file.
TColourProfile EmbeddedProfileOf(std::string_view bytes, const std::string& fileName) {
    try {
        const TEmbeddedProfile embedded = ReadEmbeddedProfile(bytes);
        // A CMYK JPEG's profile describes its inks, which are taken as they are stored.
        if (IsCmykProfile(embedded.Icc)) return TColourProfile();
        return TColourProfile::FromEmbedded(embedded);
    } catch (const EError& error) {
        throw EError("\"" + fileName + "\": " + error.what());
    }
}

TImage LoadInSrgb(const std::string& fileName, TColourProfile& profile) {
    const std::string extension = LowerExtension(fileName);
    TImage picture;
    if (IsDeepPictureName(fileName)) {
        TDeepImage deep = LoadDeepImageFile(fileName);
        // Converted when read; the profile is built again for the caller.
        if (!deep.Depth.IccProfile.empty()) profile = TColourProfile::FromIcc(deep.Depth.IccProfile);
        return DeepToImage(deep);
    }
    if (extension != "jpg" && extension != "jpeg" && extension != "bmp" && extension != "png")
        throw EError("Unknown picture file extension (." + QFileInfo(ToQ(fileName)).suffix().toStdString() + ")");
    const std::string bytes = ReadFileBytes(fileName, kMaxPictureFileBytes);
    if (extension == "bmp") {
        LoadQtPicture(bytes, "bmp", "Bitmap image is not valid", picture);
        return picture;
    }
    if (extension == "png")
        LoadQtPicture(bytes, "png", "PNG image is not valid", picture);
    else
        DecodeJpegInto(bytes, picture);
    profile = EmbeddedProfileOf(bytes, fileName);
    profile.ToSrgb(picture);
    return picture;
}

}  // namespace

void LoadImageFile(const std::string& fileName, TImage& target, TColourProfile& profile) {
    try {
        TColourProfile own;
        target = LoadInSrgb(fileName, own);
        profile = own;
    } catch (const std::bad_alloc&) {
        throw EError("Not enough memory to load the picture \"" + fileName + "\"");
    }
}

void LoadImageFile(const std::string& fileName, TImage& target) {
    TColourProfile profile;
    LoadImageFile(fileName, target, profile);
}

void SaveJpegFile(const std::string& fileName, const TImage& image, int quality) {
    TJpegEncoder encoder;  // the stream goes to the file from the encoder's own buffer
    EncodeInto(encoder, image, quality);
    WriteWholeFile(fileName, reinterpret_cast<const char*>(encoder.Output), encoder.OutputSize);
}

void SaveImageFile(const std::string& fileName, const TImage& image) { SaveImageFile(fileName, image, TColourProfile()); }

void SaveImageFile(const std::string& fileName, const TImage& image, const TColourProfile& profile) {
    const std::string extension = LowerExtension(fileName);
    if (extension != "jpg" && extension != "jpeg" && extension != "bmp" && extension != "png")
        throw EError("Unknown picture file extension (." + extension + ")");
    if (image.Empty()) throw EError("There is no picture to write");
    // A bitmap holds no profile: it is written in sRGB.
    const bool converted = !profile.IsSrgb() && extension != "bmp";
    TImage own;
    if (converted) {
        own = image.Clone();
        profile.FromSrgb(own);
    }
    const TImage& written = converted ? own : image;
    if (extension == "jpg" || extension == "jpeg") {
        TJpegEncoder encoder;
        if (converted) encoder.Icc = profile.Icc();
        EncodeInto(encoder, written, 100);
        return WriteWholeFile(fileName, reinterpret_cast<const char*>(encoder.Output), encoder.OutputSize);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, extension.c_str());
    if (!writer.write(QImageFromImage(written)))
        throw EError("Cannot encode the picture: " + writer.errorString().toStdString());
    if (!converted) return WriteWholeFile(fileName, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    WriteFileAtomically(fileName, PngWithProfile(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                                                 profile.Icc()));
}

// ---- JPEG to JPEG in strips ------------------------------------------------
// The picture is never held whole: this thread decodes strips of rows while a
// second one encodes them, so that encoding hides behind the decoding, which
// is the slowest stage. Each strip is graded by whichever side has time: the
// decoding side grades a strip itself while the encoder still has strips
// waiting, and leaves it to the encoder otherwise. (A progressive file gives
// its first row when its last scan begins; grading and encoding then hide
// behind the reading of that scan.) A few strips circulate between the two;
// the encoder settings and rows are those of SaveJpegFile, so the stream is
// the same as decoding, grading the whole picture and saving it.

namespace {

constexpr int kStripRows = 16;
constexpr int kStripsInFlight = 4;

struct TStrip {
    TStrip(int width, int height) : Image(width, height) {}
    TImage Image;
    bool Graded = false;
};

// Strips passed from the decoding thread to the encoding one and back.
class TStripExchange {
public:
    // A free strip, or nullptr once the other side has failed.
    TStrip* TakeFree() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !free_.empty() || failed_; });
        if (failed_) return nullptr;
        TStrip* strip = free_.front();
        free_.pop_front();
        return strip;
    }
    void GiveFree(TStrip* strip) { Push(free_, strip); }
    void GiveReady(TStrip* strip) { Push(ready_, strip); }
    // The next strip to encode, or nullptr at the end or after a failure.
    TStrip* TakeReady() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !ready_.empty() || ended_ || failed_; });
        if (failed_ || ready_.empty()) return nullptr;
        TStrip* strip = ready_.front();
        ready_.pop_front();
        return strip;
    }
    // True while strips wait for the encoder.
    bool EncoderBusy() {
        const std::lock_guard lock(mutex_);
        return !ready_.empty();
    }
    void End() { Set(ended_); }
    void Fail() { Set(failed_); }

private:
    void Push(std::deque<TStrip*>& queue, TStrip* strip) {
        {
            const std::lock_guard lock(mutex_);
            queue.push_back(strip);
        }
        changed_.notify_all();
    }
    void Set(bool& flag) {
        {
            const std::lock_guard lock(mutex_);
            flag = true;
        }
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<TStrip*> free_, ready_;
    bool ended_ = false;
    bool failed_ = false;
};

// A picture file opened for reading in pieces, with the checks of the
// whole-file road.
std::FILE* OpenPictureFile(const std::string& fileName) {
    const int descriptor = OpenRegularFile(fileName, kMaxPictureFileBytes);
    std::FILE* file = fdopen(descriptor, "rb");
    if (file == nullptr) {
        const int error = errno;
        close(descriptor);
        RaiseFileError("Cannot open file", fileName, error);
    }
    return file;
}

// Grades a strip not yet graded; "" or the failure's message.
std::string GradeStrip(const std::function<void(TImage&)>& grade, TStrip& strip) {
    if (strip.Graded) return std::string();
    try {
        grade(strip.Image);
        strip.Graded = true;
        return std::string();
    } catch (const std::bad_alloc&) {
        return "Not enough memory to grade the picture";
    } catch (const std::exception& error) {
        return error.what();
    }
}

// The encoding thread's side: grade each strip where the decoding side did
// not, then encode its rows.
void EncodeStrips(TStripExchange& exchange, TJpegEncoder& encoder, const std::function<void(TImage&)>& grade,
                  std::string& failure) {
    while (TStrip* strip = exchange.TakeReady()) {
        failure = GradeStrip(grade, *strip);
        if (failure.empty() && !encoder.WriteStrip(strip->Image, strip->Image.Height()))
            failure = JpegMessage(encoder.Errors.Code);
        if (!failure.empty()) {
            exchange.Fail();
            return;
        }
        strip->Graded = false;
        exchange.GiveFree(strip);
    }
}

// Decodes every row into strips handed to the exchange, grading those the
// encoder has no time for; the last strip is tail when rows are left over
// that fill no whole strip. Returns the message of a failure here.
std::string DecodeStrips(TJpegDecoder& decoder, TStripExchange& exchange, const std::function<void(TImage&)>& grade,
                         TStrip& tail, int width, int height) {
    std::vector<unsigned char> rowBuffer(decoder.Cmyk ? static_cast<std::size_t>(width) * 4 : 0);
    for (int y = 0; y < height;) {
        TStrip* strip = height - y < kStripRows ? &tail : exchange.TakeFree();
        if (strip == nullptr) return std::string();  // the encoding side failed and says why
        TImage& rows = strip->Image;
        if (!decoder.ReadRows(rows.Row(0), rows.Height(), rows.Stride(), rowBuffer.data()))
            return JpegMessage(decoder.Errors.Code);
        if (exchange.EncoderBusy()) {
            const std::string failure = GradeStrip(grade, *strip);
            if (!failure.empty()) return failure;
        }
        exchange.GiveReady(strip);
        y += rows.Height();
    }
    if (!decoder.Finish()) return JpegMessage(decoder.Errors.Code);
    exchange.End();
    return std::string();
}

// Raised when a progressive file has a scan after the one that completed its
// coefficients: the rows already encoded may not be the file's final ones.
struct ELateScan {};

void GradeJpegFileOnce(const std::string& input, const std::string& output,
                       const std::function<void(TImage&)>& sRgbGrade, const TOutputProfileChoice& choice,
                       bool early) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenPictureFile(input), std::fclose);
    TJpegDecoder decoder;
    if (!decoder.ReadHeader(file.get())) throw EError(JpegMessage(decoder.Errors.Code));
    CheckPictureSize(decoder.Info.image_width, decoder.Info.image_height);
    if (!(early ? decoder.StartEarly() : decoder.Start())) throw EError(JpegMessage(decoder.Errors.Code));
    const int width = static_cast<int>(decoder.Info.output_width);
    const int height = static_cast<int>(decoder.Info.output_height);
    TColourProfile source;
    try {
        const std::string icc = decoder.IccProfile();
        if (!IsCmykProfile(icc) && !icc.empty()) source = TColourProfile::FromIcc(icc);
    } catch (const EError& error) {
        throw EError("\"" + input + "\": " + error.what());
    }
    const TColourProfile target = choice.For(source);
    const bool managed = !source.IsSrgb() || !target.IsSrgb();
    const std::function<void(TImage&)> grade = !managed ? sRgbGrade : [&](TImage& strip) {
        source.ToSrgb(strip);
        sRgbGrade(strip);
        target.FromSrgb(strip);
    };

    WriteFileAtomicallyFrom(output, [&](int descriptor) {
        TJpegFileDestination destination(descriptor);
        TJpegEncoder encoder;
        encoder.Icc = target.Icc();
        if (!encoder.Begin(width, height, 100, &destination)) throw EError(JpegMessage(encoder.Errors.Code));
        std::deque<TStrip> strips;
        for (int i = 0; i < kStripsInFlight; ++i) strips.emplace_back(width, kStripRows);
        TStrip tail(width, height % kStripRows);
        TStripExchange exchange;
        for (TStrip& strip : strips) exchange.GiveFree(&strip);

        std::string encodeFailure;
        std::thread encoding(EncodeStrips, std::ref(exchange), std::ref(encoder), std::cref(grade),
                             std::ref(encodeFailure));
        const std::string decodeFailure = DecodeStrips(decoder, exchange, grade, tail, width, height);
        if (!decodeFailure.empty()) exchange.Fail();
        encoding.join();
        if (!decodeFailure.empty()) throw EError(decodeFailure);
        // A failed write is reported by the file layer with its reason.
        if (destination.Error != 0) return destination.Error;
        if (!encodeFailure.empty()) throw EError(encodeFailure);
        if (decoder.LateScan) throw ELateScan();
        return 0;
    });
}

}  // namespace

void GradeJpegFile(const std::string& input, const std::string& output,
                   const std::function<void(TImage&)>& grade) {
    GradeJpegFile(input, output, grade, TOutputProfileChoice());
}

void GradeJpegFile(const std::string& input, const std::string& output,
                   const std::function<void(TImage&)>& grade, const TOutputProfileChoice& choice) {
    try {
        try {
            GradeJpegFileOnce(input, output, grade, choice, true);
        } catch (const ELateScan&) {
            GradeJpegFileOnce(input, output, grade, choice, false);
        }
    } catch (const std::bad_alloc&) {
        throw EError("Not enough memory to grade the picture \"" + input + "\"");
    }
}
