#include "ImageFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <QString>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <new>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <jerror.h>

#include "DeepGrade.h"
#include "DeepImageFile.h"
#include "Error.h"
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

// A stream that ends before its picture does is damaged: libjpeg would only
// warn and fill the rest with grey (for a hostile file declaring a huge
// picture in a few bytes, at great cost), so that warning ends the decode.
extern "C" void JpegEmitMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) JpegErrorExit(info);
}

void InstallErrorManager(TJpegErrorManager& manager) {
    jpeg_std_error(&manager.Public);
    manager.Public.error_exit = JpegErrorExit;
    manager.Public.output_message = JpegSilentMessage;
    manager.Public.emit_message = JpegEmitMessage;
}

std::string JpegMessage(int code) { return "JPEG error #" + std::to_string(code); }

// Decodes in three stages so that memory for the picture is taken outside the
// region that libjpeg may jump out of.
struct TJpegDecoder {
    jpeg_decompress_struct Info{};
    TJpegErrorManager Errors;
    bool Created = false;
    bool Cmyk = false;

    ~TJpegDecoder() {
        if (Created) jpeg_destroy_decompress(&Info);
    }

    // Reads the header; false on a libjpeg error (Errors.Code holds it).
    bool ReadHeader(std::string_view bytes) {
        InstallErrorManager(Errors);
        Info.err = &Errors.Public;
        if (setjmp(Errors.Jump)) return false;
        jpeg_create_decompress(&Info);
        Created = true;
        jpeg_mem_src(&Info, reinterpret_cast<const unsigned char*>(bytes.data()),
                     static_cast<unsigned long>(bytes.size()));
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

    // Reads every scan line into the image; CMYK lines go through rowBuffer.
    bool ReadLines(TImage& image, unsigned char* rowBuffer) {
        if (setjmp(Errors.Jump)) return false;
        while (Info.output_scanline < Info.output_height) {
            const int y = static_cast<int>(Info.output_scanline);
            JSAMPROW row = Cmyk ? rowBuffer : image.Row(y);
            jpeg_read_scanlines(&Info, &row, 1);
            if (Cmyk) CmykToBgr(rowBuffer, image.Row(y), image.Width());
        }
        jpeg_finish_decompress(&Info);
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

struct TJpegEncoder {
    jpeg_compress_struct Info{};
    TJpegErrorManager Errors;
    bool Created = false;
    // The buffer handed to libjpeg at the start; libjpeg replaces it (without
    // freeing it) only when the stream outgrows it.
    unsigned char* Initial = nullptr;
    unsigned char* Output = nullptr;
    unsigned long OutputSize = 0;

    ~TJpegEncoder() {
        if (Created) jpeg_destroy_compress(&Info);
        if (Output != Initial) std::free(Output);
        std::free(Initial);
    }

    // Room for three bytes a pixel and the headers: more than a quality-100
    // stream of a photograph takes, so the stream is written once, without
    // the copies of a growing buffer. Pages that are never written cost
    // nothing.
    void ReserveOutput(const TImage& image) {
        const unsigned long size = static_cast<unsigned long>(image.Width()) * image.Height() * 3 + 65536;
        Initial = static_cast<unsigned char*>(std::malloc(size));
        Output = Initial;
        OutputSize = Initial != nullptr ? size : 0;
    }

    bool Encode(const TImage& image, int quality) {
        ReserveOutput(image);
        InstallErrorManager(Errors);
        Info.err = &Errors.Public;
        if (setjmp(Errors.Jump)) return false;
        jpeg_create_compress(&Info);
        Created = true;
        jpeg_mem_dest(&Info, &Output, &OutputSize);
        Info.image_width = static_cast<JDIMENSION>(image.Width());
        Info.image_height = static_cast<JDIMENSION>(image.Height());
        Info.input_components = 3;
        Info.in_color_space = JCS_EXT_BGR;
        jpeg_set_defaults(&Info);
        jpeg_set_quality(&Info, quality, TRUE);
        jpeg_start_compress(&Info, TRUE);
        while (Info.next_scanline < Info.image_height) {
            JSAMPROW row = const_cast<unsigned char*>(image.Row(static_cast<int>(Info.next_scanline)));
            jpeg_write_scanlines(&Info, &row, 1);
        }
        jpeg_finish_compress(&Info);
        return true;
    }
};

// Encodes the image; the stream stays in the encoder.
void EncodeInto(TJpegEncoder& encoder, const TImage& image, int quality) {
    if (image.Empty()) throw EError("There is no picture to write");
    if (!encoder.Encode(image, quality)) throw EError(JpegMessage(encoder.Errors.Code));
}

// ---- files --------------------------------------------------------------

QByteArray ReadWholeFile(const std::string& fileName) {
    QFile file(ToQ(fileName));
    if (!file.open(QIODevice::ReadOnly))
        throw EError("Cannot open the file \"" + fileName + "\": " + file.errorString().toStdString());
    // A picture file of more than a gigabyte is not one we can hold anyway.
    if (file.size() > (1LL << 30)) throw EError("The file \"" + fileName + "\" is too large");
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EError("Cannot read the file \"" + fileName + "\": " + file.errorString().toStdString());
    return bytes;
}

void WriteWholeFile(const std::string& fileName, const char* bytes, qint64 size) {
    QSaveFile file(ToQ(fileName));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes, size) != size || !file.commit())
        throw EError("Cannot write the file \"" + fileName + "\": " + file.errorString().toStdString());
}

// The size a PNG file declares in its header, read without libpng, whose
// reader may stop at a later chunk before it reports the size. Nothing is
// checked when the file does not start like a PNG file.
void CheckDeclaredPngSize(QFile& file) {
    const QByteArray head = file.peek(24);
    if (head.size() < 24 || !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR") return;
    auto bigEndian = [&](int at) {
        long long value = 0;
        for (int i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(head[at + i]);
        return value;
    };
    CheckPictureSize(bigEndian(16), bigEndian(20));
}

// BMP and PNG through Qt's readers, the format forced by the extension.
void LoadQtPicture(const std::string& fileName, const char* format, const std::string& damaged,
                   TImage& target) {
    QFile file(ToQ(fileName));
    if (!file.open(QIODevice::ReadOnly))
        throw EError("Cannot open the file \"" + fileName + "\": " + file.errorString().toStdString());
    if (std::string_view(format) == "png") CheckDeclaredPngSize(file);
    QImageReader reader(&file, format);
    reader.setAutoDetectImageFormat(false);
    // Qt reports a top-down bitmap's stored height, which is negative; its
    // reader decodes such a bitmap all the same.
    const QSize declared = reader.size();
    const long long width = declared.width(), height = std::llabs(declared.height());
    if (width <= 0 || height <= 0) throw EError(damaged);
    CheckPictureSize(width, height);
    QImageReader::setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)) + 1);
    QImage picture;
    if (!reader.read(&picture) || picture.isNull()) {
        if (reader.error() == QImageReader::FileNotFoundError || reader.error() == QImageReader::DeviceError)
            throw EError("Cannot read the file \"" + fileName + "\"");
        throw EError(damaged);
    }
    target = ImageFromQImage(picture);
}

void DecodeJpegInto(std::string_view bytes, TImage& target) {
    TJpegDecoder decoder;
    if (!decoder.ReadHeader(bytes)) throw EError(JpegMessage(decoder.Errors.Code));
    CheckPictureSize(decoder.Info.image_width, decoder.Info.image_height);
    if (!decoder.Start()) throw EError(JpegMessage(decoder.Errors.Code));
    TImage image(static_cast<int>(decoder.Info.output_width), static_cast<int>(decoder.Info.output_height));
    std::vector<unsigned char> rowBuffer(decoder.Cmyk ? static_cast<std::size_t>(image.Width()) * 4 : 0);
    if (!decoder.ReadLines(image, rowBuffer.data())) throw EError(JpegMessage(decoder.Errors.Code));
    target = std::move(image);
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

void LoadImageFile(const std::string& fileName, TImage& target) {
    const std::string extension = LowerExtension(fileName);
    try {
        if (extension == "jpg" || extension == "jpeg") {
            const QByteArray bytes = ReadWholeFile(fileName);
            DecodeJpegInto(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), target);
        } else if (extension == "bmp") {
            LoadQtPicture(fileName, "bmp", "Bitmap image is not valid", target);
        } else if (extension == "png") {
            LoadQtPicture(fileName, "png", "PNG image is not valid", target);
        } else if (IsDeepPictureName(fileName)) {
            target = DeepToImage(LoadDeepImageFile(fileName));
        } else {
            throw EError("Unknown picture file extension (." +
                         QFileInfo(ToQ(fileName)).suffix().toStdString() + ")");
        }
    } catch (const std::bad_alloc&) {
        throw EError("Not enough memory to load the picture \"" + fileName + "\"");
    }
}

void SaveJpegFile(const std::string& fileName, const TImage& image, int quality) {
    TJpegEncoder encoder;  // the stream goes to the file from the encoder's own buffer
    EncodeInto(encoder, image, quality);
    WriteWholeFile(fileName, reinterpret_cast<const char*>(encoder.Output), static_cast<qint64>(encoder.OutputSize));
}

void SaveImageFile(const std::string& fileName, const TImage& image) {
    const std::string extension = LowerExtension(fileName);
    if (extension == "jpg" || extension == "jpeg") return SaveJpegFile(fileName, image, 100);
    if (extension != "bmp" && extension != "png")
        throw EError("Unknown picture file extension (." + extension + ")");
    if (image.Empty()) throw EError("There is no picture to write");
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, extension.c_str());
    if (!writer.write(QImageFromImage(image)))
        throw EError("Cannot encode the picture: " + writer.errorString().toStdString());
    WriteWholeFile(fileName, bytes.constData(), bytes.size());
}
