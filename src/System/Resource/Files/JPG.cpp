#include "System/Resource/Files/JPG.h"

#include "System/Resource/Image.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

// libjpeg reports a fatal error by calling error_exit, which must not return. The
// standard one ends the process, so a damaged upload would end the server; ours jumps
// back into the codec call, which frees what it allocated and fails. Every function
// that calls setjmp keeps only trivially destructible state (C structs, raw pointers)
// from the setjmp on, as longjmp runs no destructor. Libjpeg's warnings still go to
// standard error through the standard error manager.
namespace System::Resource::Files {

namespace {

// Compressed data moves through the stream in blocks of this many bytes.
constexpr int kBlockSize = 16384;
// The scans a decoding reads at most. Encoders write up to a dozen or so; libjpeg passes
// over the whole picture for every scan, so a small progressive file repeating its scans
// would otherwise keep the decoding thread busy for minutes.
constexpr int kMaxScans = 256;
// 32 full grey scans at the size limit: more lets a small file hold the photo worker for seconds.
constexpr uint64_t kMaxScanBlocks = 32 * (Image::kMaxPixels / DCTSIZE2);

// libjpeg's error manager and where error_exit jumps to.
struct ErrorRecord {
    jpeg_error_mgr mManager;
    jmp_buf mJump;
};

// The source manager: libjpeg's fields, the block read last and the stream read.
struct SourceRecord {
    jpeg_source_mgr mManager;
    JOCTET mBuffer[kBlockSize];
    IO::Stream* mStream;
};

// The destination manager: libjpeg's fields, the block being filled and the stream
// written.
struct DestinationRecord {
    jpeg_destination_mgr mManager;
    JOCTET mBuffer[kBlockSize];
    IO::Stream* mStream;
};

// The progress monitor and what it has counted of the scans read so far.
struct ProgressRecord {
    jpeg_progress_mgr mManager;
    int mScansCounted;  // the scans whose blocks mBlocks holds
    uint64_t mBlocks;   // component blocks those scans visit
};

// Everything one decoding call needs, kept together on its stack.
struct Decoder {
    jpeg_decompress_struct mInfo;
    ErrorRecord mError;
    SourceRecord mSource;
    ProgressRecord mProgress;
};

// Everything one encoding call needs.
struct Encoder {
    jpeg_compress_struct mInfo;
    ErrorRecord mError;
    DestinationRecord mDestination;
};

[[noreturn]] void JpgErrorExit(j_common_ptr info) {
    longjmp(reinterpret_cast<ErrorRecord*>(info->err)->mJump, 1);
}

// Fails the decoding at the start of a scan past kMaxScans, or of one that would take the
// blocks visited past kMaxScanBlocks. libjpeg calls the monitor once a scan's header has set
// up its MCUs and before the scan's data is read, then on every row of MCUs.
void JpgProgress(j_common_ptr common) {
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    auto* progress = reinterpret_cast<ProgressRecord*>(info->progress);
    if (info->input_scan_number == progress->mScansCounted) {
        return;
    }
    progress->mScansCounted = info->input_scan_number;
    // Each of the scan's components with its blocks, padded to whole MCUs when they are
    // interleaved. These are blocks of the coded picture: decoding at a smaller scale still
    // reads every coefficient.
    progress->mBlocks += static_cast<uint64_t>(info->MCUs_per_row) * info->MCU_rows_in_scan *
                         static_cast<uint64_t>(info->blocks_in_MCU);
    if (info->input_scan_number > kMaxScans || progress->mBlocks > kMaxScanBlocks) {
        JpgErrorExit(common);
    }
}

jpeg_error_mgr* ErrorManager(ErrorRecord& error) {
    jpeg_error_mgr* manager = jpeg_std_error(&error.mManager);
    manager->error_exit = JpgErrorExit;
    return manager;
}

void JpgInitSource(j_decompress_ptr info) {
    info->src->bytes_in_buffer = 0;
}

boolean JpgFillInputBuffer(j_decompress_ptr info) {
    auto* source = reinterpret_cast<SourceRecord*>(info->src);
    int read = source->mStream->Read(source->mBuffer, 0, kBlockSize);
    if (read <= 0) {
        // libjpeg does not allow an empty buffer here; an end-of-image marker ends a
        // cut-short file cleanly, with a warning.
        WARNMS(info, JWRN_JPEG_EOF);
        source->mBuffer[0] = 0xFF;
        source->mBuffer[1] = JPEG_EOI;
        read = 2;
    }
    source->mManager.next_input_byte = source->mBuffer;
    source->mManager.bytes_in_buffer = static_cast<size_t>(read);
    return TRUE;
}

void JpgSkipInputData(j_decompress_ptr info, long count) {
    // A count of 0 or less would step backwards.
    if (count <= 0) {
        return;
    }
    auto* source = reinterpret_cast<SourceRecord*>(info->src);
    const auto skip = static_cast<size_t>(count);
    if (skip > source->mManager.bytes_in_buffer) {
        IO::Stream& stream = *source->mStream;
        stream.Position(stream.Position() +
                        static_cast<int64_t>(skip - source->mManager.bytes_in_buffer));
        source->mManager.bytes_in_buffer = 0;
    } else {
        source->mManager.next_input_byte += skip;
        source->mManager.bytes_in_buffer -= skip;
    }
}

void JpgTermSource(j_decompress_ptr) {}

void JpgInitDestination(j_compress_ptr info) {
    auto* destination = reinterpret_cast<DestinationRecord*>(info->dest);
    destination->mManager.next_output_byte = destination->mBuffer;
    destination->mManager.free_in_buffer = kBlockSize;
}

boolean JpgEmptyOutputBuffer(j_compress_ptr info) {
    auto* destination = reinterpret_cast<DestinationRecord*>(info->dest);
    destination->mStream->Write(destination->mBuffer, 0, kBlockSize);
    destination->mManager.next_output_byte = destination->mBuffer;
    destination->mManager.free_in_buffer = kBlockSize;
    return TRUE;
}

void JpgTermDestination(j_compress_ptr info) {
    auto* destination = reinterpret_cast<DestinationRecord*>(info->dest);
    destination->mStream->Write(
        destination->mBuffer, 0,
        kBlockSize - static_cast<int>(destination->mManager.free_in_buffer));
}

// Fills in the error manager and the source record over stream. REQUIRES: followed by
// the setjmp of decoder.mError.mJump, then StartDecoder.
void PrepareDecoder(Decoder& decoder, IO::Stream& stream) {
    decoder.mInfo.err = ErrorManager(decoder.mError);
    jpeg_source_mgr& source = decoder.mSource.mManager;
    source.next_input_byte = nullptr;
    source.bytes_in_buffer = 0;
    source.init_source = JpgInitSource;
    source.fill_input_buffer = JpgFillInputBuffer;
    source.skip_input_data = JpgSkipInputData;
    source.resync_to_restart = jpeg_resync_to_restart;
    source.term_source = JpgTermSource;
    decoder.mSource.mStream = &stream;
}

// Creates the decompressor, reads the header and leaves the output dimensions
// computed for a float DCT in the file's default colour space.
void StartDecoder(Decoder& decoder) {
    jpeg_create_decompress(&decoder.mInfo);
    decoder.mInfo.src = &decoder.mSource.mManager;
    jpeg_read_header(&decoder.mInfo, TRUE);
    decoder.mInfo.dct_method = JDCT_FLOAT;
    jpeg_calc_output_dimensions(&decoder.mInfo);
}

// Sets the smallest scale of 1/8, 1/4 and 1/2 whose output still covers width x
// height, or keeps the full size, and computes the output dimensions for it.
void ScaleToCover(jpeg_decompress_struct& info, uint32_t width, uint32_t height) {
    for (unsigned int denominator = 8; denominator > 1; denominator /= 2) {
        info.scale_num = 1;
        info.scale_denom = denominator;
        jpeg_calc_output_dimensions(&info);
        if (info.output_width >= width && info.output_height >= height) {
            return;
        }
    }
    info.scale_denom = 1;
    jpeg_calc_output_dimensions(&info);
}

}  // namespace

bool JPG::GetHeader(IO::Stream& stream, JpgHeader& header) {
    Decoder decoder;
    PrepareDecoder(decoder, stream);
    if (setjmp(decoder.mError.mJump) != 0) {
        jpeg_destroy_decompress(&decoder.mInfo);
        return false;
    }
    StartDecoder(decoder);
    header.mWidth = decoder.mInfo.image_width;
    header.mHeight = decoder.mInfo.image_height;
    header.mBitsPerPixel = static_cast<uint16_t>(decoder.mInfo.num_components * 8);
    jpeg_destroy_decompress(&decoder.mInfo);
    return true;
}

unsigned char* JPG::Load(IO::Stream& stream) {
    JpgHeader decoded;
    return Load(stream, UINT32_MAX, UINT32_MAX, decoded);
}

unsigned char* JPG::Load(IO::Stream& stream, uint32_t coverWidth, uint32_t coverHeight,
                         JpgHeader& decoded) {
    Decoder decoder;
    PrepareDecoder(decoder, stream);
    // volatile: it changes after setjmp and is freed after the jump back.
    unsigned char* volatile pixels = nullptr;
    if (setjmp(decoder.mError.mJump) != 0) {
        const bool outOfMemory = decoder.mError.mManager.msg_code == JERR_OUT_OF_MEMORY;
        delete[] pixels;
        jpeg_destroy_decompress(&decoder.mInfo);
        if (outOfMemory) {
            throw std::bad_alloc();
        }
        return nullptr;
    }
    StartDecoder(decoder);
    jpeg_decompress_struct& info = decoder.mInfo;
    const int channels = info.output_components;
    // Only grey and RGB make pictures the rest of the system can resize and write back;
    // a CMYK photo would otherwise get a preview of 0 bytes. The size is checked before
    // anything is allocated. The arithmetic coder packs a scan of every block into a few
    // bytes, yet decodes each block bit by bit: a 3 KB file within the block budget held
    // the decoding thread for seconds, and no browser makes or shows such a file.
    if (info.arith_code || (channels != 1 && channels != 3) ||
        !Image::IsAllowedSize(info.image_width, info.image_height,
                              static_cast<uint32_t>(channels))) {
        JpgErrorExit(reinterpret_cast<j_common_ptr>(&info));
    }
    ScaleToCover(info, coverWidth, coverHeight);
    const size_t rowBytes = static_cast<size_t>(info.output_width) * channels;
    pixels = new (std::nothrow) unsigned char[rowBytes * info.output_height];
    if (pixels == nullptr) {
        ERREXIT1(&info, JERR_OUT_OF_MEMORY, 0);
    }
    decoder.mProgress = {};
    decoder.mProgress.mManager.progress_monitor = JpgProgress;
    info.progress = &decoder.mProgress.mManager;
    jpeg_start_decompress(&info);
    while (info.output_scanline < info.output_height) {
        // The first row decoded is the top of the picture and goes last.
        JSAMPROW row = pixels + (info.output_height - 1 - info.output_scanline) * rowBytes;
        if (jpeg_read_scanlines(&info, &row, 1) != 1) {
            JpgErrorExit(reinterpret_cast<j_common_ptr>(&info));
        }
    }
    jpeg_finish_decompress(&info);
    decoded.mWidth = info.output_width;
    decoded.mHeight = info.output_height;
    decoded.mBitsPerPixel = static_cast<uint16_t>(channels * 8);
    jpeg_destroy_decompress(&info);
    return pixels;
}

bool JPG::Write(IO::Stream& stream, uint32_t width, uint32_t height, uint32_t channels, uint32_t,
                const unsigned char* pixels, int quality) {
    if (pixels == nullptr || (channels != 1 && channels != 3) || !stream.CanWrite()) {
        return false;
    }
    Encoder encoder;
    encoder.mInfo.err = ErrorManager(encoder.mError);
    jpeg_destination_mgr& destination = encoder.mDestination.mManager;
    destination.init_destination = JpgInitDestination;
    destination.empty_output_buffer = JpgEmptyOutputBuffer;
    destination.term_destination = JpgTermDestination;
    encoder.mDestination.mStream = &stream;
    if (setjmp(encoder.mError.mJump) != 0) {
        jpeg_destroy_compress(&encoder.mInfo);
        return false;
    }
    jpeg_compress_struct& info = encoder.mInfo;
    jpeg_create_compress(&info);
    info.dest = &destination;
    info.image_width = width;
    info.image_height = height;
    info.input_components = static_cast<int>(channels);
    info.in_color_space = channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.dct_method = JDCT_FLOAT;
    info.optimize_coding = TRUE;
    jpeg_start_compress(&info, TRUE);
    const size_t rowBytes = static_cast<size_t>(width) * channels;
    while (info.next_scanline < info.image_height) {
        // The last row of the array is the top of the picture and goes first; libjpeg
        // only reads the rows it is given.
        JSAMPROW row =
            const_cast<JSAMPROW>(pixels) + (info.image_height - 1 - info.next_scanline) * rowBytes;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace System::Resource::Files
