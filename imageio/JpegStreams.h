#pragma once
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "engine/picture/Image.h"
#include "fileio/AtomicFile.h"
#include "imageio/IccProfile.h"

// libjpeg's decoder and encoder as the JPEG codec and the strip grading
// drive them.
//
// libjpeg reports fatal errors through error_exit, which must not return.
// We jump back to the function that started the work and raise the error
// there; no C++ object is created between the setjmp and the jump.

struct TJpegErrorManager {
    jpeg_error_mgr Public;
    std::jmp_buf Jump;
    int Code = 0;
};

// Makes every error and every warning of libjpeg jump to manager.Jump.
void InstallErrorManager(TJpegErrorManager& manager);

// The message of a libjpeg error number: "JPEG error #<number>", with what
// the numbers of a file that ends too early mean.
std::string JpegMessage(int code);

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
    // What the pixels hold, by the frame header's components.
    TPixelColours Pixels() const {
        if (Info.num_components == 1) return TPixelColours::Grey;
        return Cmyk ? TPixelColours::Cmyk : TPixelColours::Rgb;
    }

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
            jpeg_write_icc_profile(&Info, reinterpret_cast<const JOCTET*>(Icc.data()),
                                   static_cast<unsigned>(Icc.size()));
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

// Encodes the image; the stream stays in the encoder. EError for an empty
// image or a libjpeg error.
void EncodeInto(TJpegEncoder& encoder, const TImage& image, int quality);
