// The preview of an uploaded photo, made as the relay's photo worker makes it (file in,
// preview file out), beside ImageMagick's `convert -thumbnail` making a preview of the same
// size from the same file, so that the ratio can be read from one run. The photos: a
// 12-megapixel JPEG (4000 x 3000) and a 16-bit RGB PNG (4000 x 3000), both smooth pictures
// with a little noise, as a camera gives them. ImageMagick's figure includes starting its
// process, which is part of what a server calling it would pay.
#include "System/IO/FileStream.h"
#include "System/Resource/Files/JPG.h"
#include "System/Resource/Files/PNG.h"
#include "ZelvoRelay/MVC/Model/MediaTransferModel.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Threading/PhotoTask.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using System::Resource::Files::JPG;
using System::Resource::Files::PNG;
using ZelvoRelay::MVC::Model::ZelvoRelayModel;

constexpr uint32_t kWidth = 4000;
constexpr uint32_t kHeight = 3000;
constexpr uint32_t kJpegId = 1;
constexpr uint32_t kPngId = 2;

// The folder the photos are written to, removed at exit.
const std::string& Folder() {
    static const std::string folder = [] {
        std::string path = std::filesystem::temp_directory_path() / "zelvo-image-bench-XXXXXX";
        if (mkdtemp(path.data()) == nullptr) {
            std::abort();
        }
        std::atexit([] { std::filesystem::remove_all(Folder()); });
        return path + "/";
    }();
    return folder;
}

// kWidth x kHeight samples of a smooth picture with a little noise, bytes bytes a sample
// (big-endian), three channels, rows bottom-up.
std::vector<unsigned char> Picture(uint32_t bytes) {
    std::vector<unsigned char> pixels(size_t{kWidth} * kHeight * 3 * bytes);
    std::minstd_rand noise(7);
    size_t at = 0;
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            const uint32_t values[3] = {x * 65535 / kWidth, y * 65535 / kHeight,
                                        (x + y) * 65535 / (kWidth + kHeight)};
            for (uint32_t value : values) {
                value = std::min<uint32_t>(65535, value + noise() % 512);
                pixels[at++] = static_cast<unsigned char>(value >> 8);
                if (bytes == 2) {
                    pixels[at++] = static_cast<unsigned char>(value);
                }
            }
        }
    }
    return pixels;
}

// Writes the two photos as uploads of the ids above would have left them, once.
void WritePhotos() {
    static const bool written = [] {
        const std::vector<unsigned char> eight = Picture(1);
        System::IO::FileStream jpeg((Folder() + std::to_string(kJpegId) + "_0").c_str(), 2);
        JPG::Write(jpeg, kWidth, kHeight, 3, 24, eight.data(), 90);
        const std::vector<unsigned char> sixteen = Picture(2);
        System::IO::FileStream png((Folder() + std::to_string(kPngId) + "_0").c_str(), 2);
        PNG::Write(png, kWidth, kHeight, 3, 48, sixteen.data());
        return true;
    }();
    (void)written;
}

// Makes the preview of photo id at width x height as the photo worker does; the task
// removes the preview file again when it is deleted.
void OurPreview(benchmark::State& state, uint32_t id) {
    WritePhotos();
    auto& configuration = ZelvoRelayModel::Instance()->Configuration;
    configuration.MediaPath = Folder().c_str();
    configuration.MediaPreviewWidth = static_cast<uint32_t>(state.range(0));
    configuration.MediaPreviewHeight = static_cast<uint32_t>(state.range(1));
    ZelvoRelay::MVC::Model::MediaTransferModel upload(1, id, 0);
    upload.mMediaType = 1;
    for (auto _ : state) {
        ZelvoRelay::Threading::PhotoTask task(upload);
        task.MakePreview();
        if (!std::filesystem::exists(Folder() + std::to_string(id) + "_1")) {
            state.SkipWithError("no preview was made");
        }
    }
}

// The same preview by ImageMagick: exactly width x height, as ours is.
void ImageMagickThumbnail(benchmark::State& state, uint32_t id) {
    WritePhotos();
    const std::string command = "/usr/bin/convert " + Folder() + std::to_string(id) +
                                "_0 -thumbnail " + std::to_string(state.range(0)) + "x" +
                                std::to_string(state.range(1)) + "! " + Folder() + "magick-" +
                                std::to_string(id) + (id == kJpegId ? ".jpg" : ".png");
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("convert failed");
        }
    }
}

void OurJpegPreview(benchmark::State& state) {
    OurPreview(state, kJpegId);
}
void ImageMagickJpegThumbnail(benchmark::State& state) {
    ImageMagickThumbnail(state, kJpegId);
}
void OurPngPreview(benchmark::State& state) {
    OurPreview(state, kPngId);
}
void ImageMagickPngThumbnail(benchmark::State& state) {
    ImageMagickThumbnail(state, kPngId);
}

// The example room's preview size and a larger one, timed by the clock: ImageMagick's work
// happens in another process.
void PreviewSizes(benchmark::internal::Benchmark* benchmark) {
    benchmark->Args({160, 120})->Args({640, 480})->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(OurJpegPreview)->Apply(PreviewSizes);
BENCHMARK(ImageMagickJpegThumbnail)->Apply(PreviewSizes);
BENCHMARK(OurPngPreview)->Apply(PreviewSizes);
BENCHMARK(ImageMagickPngThumbnail)->Apply(PreviewSizes);

}  // namespace
