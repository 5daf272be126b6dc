#include "sonmill/base/encoder.h"
#include "sonmill/base/filewriter.h"
#include "sonmill/base/modules.h"
#include "sonmill/base/sampleconvert.h"
#include "sonmill/containers/mp4writer.h"

#include <vo-aacenc/cmnMemory.h>
#include <vo-aacenc/voAAC.h>

#include <algorithm>
#include <array>
#include <vector>

namespace sonmill {
namespace {

constexpr std::size_t kFrameSamples = 1024; // per channel, per AAC frame
constexpr std::size_t kMaxFrameBytes = 6144 / 8 * 2 + 64; // the format's limit for two channels
constexpr int kDefaultKbps = 128;
constexpr int kAacLowComplexity = 2;
// How far vo-aacenc's decoded output lags its input (one frame of filter run-in and its
// look-ahead), measured with an impulse. The .m4a edit list skips exactly this much, and
// the stream is flushed until the last input sample is out.
constexpr std::uint64_t kEncoderDelay = 1600;

constexpr int kRates[] = { 96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350 };

int rateIndex(int rate)
{
    const auto found = std::find(std::begin(kRates), std::end(kRates), rate);
    return found == std::end(kRates) ? -1 : static_cast<int>(found - std::begin(kRates));
}

// AAC with vo-aacenc; ADTS frames for .aac, an MPEG-4 file for .m4a.
class AacEncoder final : public Encoder
{
public:
    ~AacEncoder() override
    {
        if (m_handle)
            m_api.Uninit(m_handle);
    }

    std::optional<Failure> open(const EncoderSettings &settings, const std::string &path)
    {
        m_channels = settings.channels;
        m_mp4 = settings.format.container == Container::Mp4;
        const int index = rateIndex(settings.rate);
        if (index < 0 || m_channels < 1 || m_channels > 2)
            return Failures::kEncode;

        m_memory.Alloc = cmnMemAlloc;
        m_memory.Free = cmnMemFree;
        m_memory.Set = cmnMemSet;
        m_memory.Copy = cmnMemCopy;
        m_memory.Check = cmnMemCheck;
        m_memory.Compare = cmnMemCompare;
        m_memory.Move = cmnMemMove;
        VO_CODEC_INIT_USERDATA user {};
        user.memflag = VO_IMF_USERMEMOPERATOR;
        user.memData = &m_memory;
        if (voGetAACEncAPI(&m_api) != VO_ERR_NONE || m_api.Init(&m_handle, VO_AUDIO_CodingAAC, &user) != VO_ERR_NONE)
            return Failures::kEncode;

        const int kbps = settings.kbps.value_or(kDefaultKbps);
        AACENC_PARAM parameters {};
        parameters.sampleRate = settings.rate;
        parameters.bitRate = kbps * 1000;
        parameters.nChannels = static_cast<short>(m_channels);
        parameters.adtsUsed = m_mp4 ? 0 : 1;
        if (m_api.SetParam(m_handle, VO_PID_AAC_ENCPARAM, &parameters) != VO_ERR_NONE)
            return Failures::kEncode;

        m_pending.assign(kFrameSamples * static_cast<std::size_t>(m_channels), 0);
        if (m_mp4 && settings.expectedFrames > 0) {
            // GStreamer's MP4 reader leaves out the frame in which the edit list's end
            // falls. Leading silence (hidden by the edit list) moves that end onto a
            // frame boundary, so every frame with audio in it is read.
            const std::uint64_t end = settings.expectedFrames + kEncoderDelay;
            m_leadIn = (kFrameSamples - end % kFrameSamples) % kFrameSamples;
            m_filled = static_cast<std::size_t>(m_leadIn);
        }
        m_output.resize(kMaxFrameBytes * 2);
        if (m_mp4) {
            Mp4Writer::Track track;
            track.rate = settings.rate;
            track.channels = m_channels;
            track.decoderConfig = {
                static_cast<std::uint8_t>((kAacLowComplexity << 3) | (index >> 1)),
                static_cast<std::uint8_t>(((index & 1) << 7) | (m_channels << 3)),
            };
            track.averageBitrate = static_cast<std::uint32_t>(kbps * 1000);
            track.expectedFrames = static_cast<std::size_t>(settings.expectedFrames / kFrameSamples + 2);
            if (!m_mp4Writer.open(path, track))
                return withSystemError(Failures::kOutputCreate, m_mp4Writer.error());
        } else if (!m_file.open(path)) {
            return withSystemError(Failures::kOutputCreate, m_file.error());
        }
        return std::nullopt;
    }

    bool write(const float *frames, std::size_t count) override
    {
        const auto channels = static_cast<std::size_t>(m_channels);
        m_inputSamples += count;
        while (count > 0) {
            const std::size_t n = std::min(count, kFrameSamples - m_filled);
            floatToInteger(frames, m_pending.data() + m_filled * channels, n * channels, 16);
            m_filled += n;
            frames += n * channels;
            count -= n;
            if (m_filled == kFrameSamples && !encodePending())
                return false;
        }
        return true;
    }

    bool finish() override
    {
        // The last partial frame, padded with silence, then enough silence to bring the
        // delayed end out of the encoder.
        const auto channels = static_cast<std::size_t>(m_channels);
        // In an MPEG-4 file one frame more: the one the edit list's end falls on.
        const std::uint64_t target = m_leadIn + m_inputSamples + kEncoderDelay + (m_mp4 ? 1 : 0);
        while (m_encodedSamples < target) {
            std::fill(m_pending.begin() + static_cast<std::ptrdiff_t>(m_filled * channels), m_pending.end(), 0);
            m_filled = kFrameSamples;
            if (!encodePending())
                return false;
        }
        if (m_mp4)
            return m_mp4Writer.finish(m_leadIn + kEncoderDelay, m_inputSamples);
        return m_file.close();
    }

    std::uint64_t bytesWritten() const override { return m_mp4 ? m_mp4Writer.size() : m_file.size(); }
    bool outputFailed() const override { return m_mp4 ? m_mp4Writer.failed() : m_file.failed(); }
    int outputError() const override { return m_mp4 ? m_mp4Writer.error() : m_file.error(); }

private:
    bool encodePending()
    {
        VO_CODECBUFFER input {};
        input.Buffer = reinterpret_cast<VO_PBYTE>(m_pending.data());
        input.Length = static_cast<VO_U32>(m_pending.size() * sizeof(std::int16_t));
        if (m_api.SetInputData(m_handle, &input) != VO_ERR_NONE)
            return false;
        while (true) {
            VO_CODECBUFFER output {};
            output.Buffer = m_output.data();
            output.Length = static_cast<VO_U32>(m_output.size());
            VO_AUDIO_OUTPUTINFO info {};
            if (m_api.GetOutputData(m_handle, &output, &info) != VO_ERR_NONE)
                break;
            if (output.Length == 0)
                break;
            const bool written = m_mp4 ? m_mp4Writer.addFrame(output.Buffer, output.Length)
                                       : m_file.write(output.Buffer, output.Length);
            if (!written)
                return false;
        }
        m_encodedSamples += kFrameSamples;
        m_filled = 0;
        return true;
    }

    VO_AUDIO_CODECAPI m_api {};
    VO_MEM_OPERATOR m_memory {};
    VO_HANDLE m_handle = nullptr;
    int m_channels = 0;
    bool m_mp4 = false;
    std::vector<std::int16_t> m_pending;
    std::size_t m_filled = 0;
    std::vector<std::uint8_t> m_output;
    std::uint64_t m_leadIn = 0; // silent samples before the audio (MPEG-4 only)
    std::uint64_t m_inputSamples = 0;
    std::uint64_t m_encodedSamples = 0;
    FileWriter m_file;
    Mp4Writer m_mp4Writer;
};

} // namespace

SONMILL_MODULE_EXPORT Encoder *sonmill_create_encoder(
    const EncoderSettings *settings, const char *path, Failure *failure)
{
    return openEncoder<AacEncoder>(settings, path, failure);
}

} // namespace sonmill
