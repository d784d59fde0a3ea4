#pragma once

#include <cstdint>

#include "System/Object.h"
#include "System/Property.h"

namespace ZelvoRelay::MVC::Model {

// The voice format announced to every client that joins. The server gives the values
// no meaning beyond passing them on. Set at start-up, read without a lock afterwards.
class AudioModel : public System::Object {
  public:
    using AudioSamples = uint32_t;      // samples per second
    using AudioChannels = uint32_t;     // channels
    using AudioCompression = uint32_t;  // compression kind, the clients' own value

    // 32000 samples per second, one channel, 16 bits per sample, compression 1,
    // quality 8.
    AudioModel() {
        Samples.mValue = 32000;
        Channels.mValue = 1;
        BitsPerSample.mValue = 16;
        Compression.mValue = 1;
        CompressionQuality.mValue = 8;
    }

    System::Property<AudioSamples> Samples;
    System::Property<AudioChannels> Channels;
    System::Property<uint32_t> BitsPerSample;
    System::Property<AudioCompression> Compression;
    System::Property<uint32_t> CompressionQuality;
};

}  // namespace ZelvoRelay::MVC::Model
