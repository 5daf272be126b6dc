#include "aacdecoder.h"

#include <gst/audio/gstaudiodecoder.h>
#include <neaacdec.h>

#include <cstring>

// Plain GObject code: this plugin uses no C++ library, so loading it maps no C++ runtime.

namespace {

struct TolmAacDec
{
    GstAudioDecoder parent;
    NeAACDecHandle handle;
    gboolean initialised;
    GstBuffer *codecData; // from raw caps; null for ADTS
    gint configuredChannels; // channel configuration the stream declares, 0 if unknown
    GstAudioInfo outputInfo;
    gboolean haveOutput;
    gint reorder[64]; // output index for each decoder channel
};

struct TolmAacDecClass
{
    GstAudioDecoderClass parent;
};

GType tolm_aac_dec_get_type();
G_DEFINE_TYPE(TolmAacDec, tolm_aac_dec, GST_TYPE_AUDIO_DECODER)

GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/mpeg, mpegversion = (int) { 2, 4 }, stream-format = (string) { adts, raw }, "
                    "framed = (boolean) true"));

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS(
        "audio/x-raw, format = (string) " GST_AUDIO_NE(F32) ", layout = (string) interleaved, "
                                                            "rate = (int) [ 1, MAX ], channels = (int) [ 1, 8 ]"));

TolmAacDec *self(gpointer object)
{
    return reinterpret_cast<TolmAacDec *>(object);
}

GstAudioChannelPosition positionOf(unsigned char faadPosition)
{
    switch (faadPosition) {
    case FRONT_CHANNEL_CENTER:
        return GST_AUDIO_CHANNEL_POSITION_FRONT_CENTER;
    case FRONT_CHANNEL_LEFT:
        return GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT;
    case FRONT_CHANNEL_RIGHT:
        return GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT;
    case SIDE_CHANNEL_LEFT:
        return GST_AUDIO_CHANNEL_POSITION_SIDE_LEFT;
    case SIDE_CHANNEL_RIGHT:
        return GST_AUDIO_CHANNEL_POSITION_SIDE_RIGHT;
    case BACK_CHANNEL_LEFT:
        return GST_AUDIO_CHANNEL_POSITION_REAR_LEFT;
    case BACK_CHANNEL_RIGHT:
        return GST_AUDIO_CHANNEL_POSITION_REAR_RIGHT;
    case BACK_CHANNEL_CENTER:
        return GST_AUDIO_CHANNEL_POSITION_REAR_CENTER;
    case LFE_CHANNEL:
        return GST_AUDIO_CHANNEL_POSITION_LFE1;
    default:
        return GST_AUDIO_CHANNEL_POSITION_INVALID;
    }
}

void closeDecoder(TolmAacDec *dec)
{
    if (dec->handle)
        NeAACDecClose(dec->handle);
    dec->handle = nullptr;
    dec->initialised = FALSE;
    dec->haveOutput = FALSE;
    dec->configuredChannels = 0;
}

gboolean openDecoder(TolmAacDec *dec)
{
    closeDecoder(dec);
    dec->handle = NeAACDecOpen();
    if (!dec->handle)
        return FALSE;
    NeAACDecConfigurationPtr config = NeAACDecGetCurrentConfiguration(dec->handle);
    config->outputFormat = FAAD_FMT_FLOAT;
    config->downMatrix = 0;
    config->dontUpSampleImplicitSBR = 0;
    return NeAACDecSetConfiguration(dec->handle, config) != 0;
}

gboolean start(GstAudioDecoder *decoder)
{
    return openDecoder(self(decoder));
}

gboolean stop(GstAudioDecoder *decoder)
{
    TolmAacDec *dec = self(decoder);
    closeDecoder(dec);
    gst_clear_buffer(&dec->codecData);
    return TRUE;
}

gboolean setFormat(GstAudioDecoder *decoder, GstCaps *caps)
{
    TolmAacDec *dec = self(decoder);
    gst_clear_buffer(&dec->codecData);
    const GstStructure *structure = gst_caps_get_structure(caps, 0);
    const gchar *format = gst_structure_get_string(structure, "stream-format");
    if (format && std::strcmp(format, "raw") == 0) {
        const GValue *value = gst_structure_get_value(structure, "codec_data");
        if (!value || !GST_VALUE_HOLDS_BUFFER(value))
            return FALSE; // raw frames cannot be decoded without their configuration
        dec->codecData = gst_buffer_ref(gst_value_get_buffer(value));
    }
    return openDecoder(dec);
}

// Decoder channel order to GStreamer's order for the same places.
gboolean updateOutput(TolmAacDec *dec, const NeAACDecFrameInfo &info)
{
    const gint channels = info.channels;
    const gint rate = static_cast<gint>(info.samplerate);
    if (dec->haveOutput && GST_AUDIO_INFO_CHANNELS(&dec->outputInfo) == channels
        && GST_AUDIO_INFO_RATE(&dec->outputInfo) == rate)
        return TRUE;

    GstAudioChannelPosition from[64];
    GstAudioChannelPosition to[64];
    gboolean known = TRUE;
    for (gint c = 0; c < channels; ++c) {
        from[c] = positionOf(info.channel_position[c]);
        known = known && from[c] != GST_AUDIO_CHANNEL_POSITION_INVALID;
    }
    if (channels == 1) {
        from[0] = GST_AUDIO_CHANNEL_POSITION_MONO;
    } else if (!known || !gst_audio_check_valid_channel_positions(from, channels, FALSE)) {
        const guint64 mask = gst_audio_channel_get_fallback_mask(channels);
        gst_audio_channel_positions_from_mask(channels, mask, from);
    }
    std::memcpy(to, from, sizeof(GstAudioChannelPosition) * static_cast<gsize>(channels));
    if (channels == 1) {
        dec->reorder[0] = 0;
    } else {
        gst_audio_channel_positions_to_valid_order(to, channels);
        gint map[64];
        if (!gst_audio_get_channel_reorder_map(channels, from, to, map))
            return FALSE;
        for (gint c = 0; c < channels; ++c)
            dec->reorder[c] = map[c];
    }

    gst_audio_info_init(&dec->outputInfo);
    gst_audio_info_set_format(&dec->outputInfo, GST_AUDIO_FORMAT_F32, rate, channels, to);
    dec->haveOutput = gst_audio_decoder_set_output_format(GST_AUDIO_DECODER(dec), &dec->outputInfo);
    return dec->haveOutput;
}

GstFlowReturn handleFrame(GstAudioDecoder *decoder, GstBuffer *buffer)
{
    TolmAacDec *dec = self(decoder);
    if (!buffer)
        return GST_FLOW_OK; // nothing held back to drain

    GstMapInfo in;
    if (!gst_buffer_map(buffer, &in, GST_MAP_READ))
        return GST_FLOW_ERROR;

    if (!dec->initialised) {
        unsigned long rate = 0;
        unsigned char channels = 0;
        gboolean ok;
        if (dec->codecData) {
            GstMapInfo config;
            gst_buffer_map(dec->codecData, &config, GST_MAP_READ);
            ok = NeAACDecInit2(dec->handle, config.data, config.size, &rate, &channels) >= 0;
            if (config.size >= 2)
                dec->configuredChannels = (config.data[1] >> 3) & 0xF;
            gst_buffer_unmap(dec->codecData, &config);
        } else {
            ok = NeAACDecInit(dec->handle, in.data, in.size, &rate, &channels) >= 0;
            if (in.size >= 4 && in.data[0] == 0xFF && (in.data[1] & 0xF6) == 0xF0)
                dec->configuredChannels = ((in.data[2] & 1) << 2) | (in.data[3] >> 6);
        }
        if (!ok) {
            gst_buffer_unmap(buffer, &in);
            GST_ELEMENT_ERROR(dec, STREAM, DECODE, (nullptr), ("faad2 refused the stream's configuration"));
            return GST_FLOW_ERROR;
        }
        dec->initialised = TRUE;
    }

    NeAACDecFrameInfo info;
    std::memset(&info, 0, sizeof info);
    auto *samples = static_cast<float *>(NeAACDecDecode(dec->handle, &info, in.data, in.size));
    gst_buffer_unmap(buffer, &in);

    GstFlowReturn result = GST_FLOW_OK;
    if (info.error > 0 || !samples) {
        GST_AUDIO_DECODER_ERROR(dec, 1, STREAM, DECODE, (nullptr), ("%s", NeAACDecGetErrorMessage(info.error)), result);
        if (result != GST_FLOW_OK)
            return result;
        return gst_audio_decoder_finish_frame(decoder, nullptr, 1);
    }
    if (info.channels == 0)
        return gst_audio_decoder_finish_frame(decoder, nullptr, 1);
    // faad2 keeps the first frame's output (the filter's run-in) to itself, at the start
    // and after every seek. An MPEG-4 file's edit list counts that frame in the encoder
    // delay it skips, so for raw streams it is given out, as silence: the edit list's
    // arithmetic and the timestamps after a seek stay true. A bare ADTS stream says
    // nothing about delay; there the frame stays dropped, the same way every time.
    gboolean silent = FALSE;
    if (info.samples == 0) {
        if (!dec->codecData)
            return gst_audio_decoder_finish_frame(decoder, nullptr, 1);
        const gboolean doubled = info.sbr == SBR_UPSAMPLED || info.sbr == NO_SBR_UPSAMPLED;
        info.samples = (doubled ? 2048ul : 1024ul) * info.channels;
        silent = TRUE;
    }
    // faad2 turns every mono stream into two equal channels, in case parametric stereo
    // turns up; without it, the stream stays what it says it is.
    const gsize decodedChannels = info.channels;
    if (dec->configuredChannels == 1 && info.channels == 2 && !info.ps) {
        info.channels = 1;
        info.channel_position[0] = FRONT_CHANNEL_CENTER;
    }
    if (!updateOutput(dec, info))
        return GST_FLOW_NOT_NEGOTIATED;

    const gsize channels = info.channels;
    const gsize frames = info.samples / decodedChannels;
    GstBuffer *out = gst_audio_decoder_allocate_output_buffer(decoder, frames * channels * sizeof(float));
    GstMapInfo map;
    gst_buffer_map(out, &map, GST_MAP_WRITE);
    auto *target = reinterpret_cast<float *>(map.data);
    if (silent)
        std::memset(target, 0, map.size);
    else
        for (gsize f = 0; f < frames; ++f)
            for (gsize c = 0; c < channels; ++c)
                target[f * channels + static_cast<gsize>(dec->reorder[c])] = samples[f * decodedChannels + c];
    gst_buffer_unmap(out, &map);
    return gst_audio_decoder_finish_frame(decoder, out, 1);
}

void flush(GstAudioDecoder *decoder, gboolean)
{
    TolmAacDec *dec = self(decoder);
    if (dec->handle && dec->initialised)
        NeAACDecPostSeekReset(dec->handle, 0);
}

void tolm_aac_dec_class_init(TolmAacDecClass *klass)
{
    GstElementClass *element = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element, &sinkTemplate);
    gst_element_class_add_static_pad_template(element, &srcTemplate);
    gst_element_class_set_static_metadata(
        element, "AAC decoder (faad2)", "Codec/Decoder/Audio", "Decodes AAC with faad2", "TOLM Audio Converter");
    GstAudioDecoderClass *base = GST_AUDIO_DECODER_CLASS(klass);
    base->start = start;
    base->stop = stop;
    base->set_format = setFormat;
    base->handle_frame = handleFrame;
    base->flush = flush;
}

void tolm_aac_dec_init(TolmAacDec *dec)
{
    dec->handle = nullptr;
    dec->initialised = FALSE;
    dec->codecData = nullptr;
    dec->haveOutput = FALSE;
    dec->configuredChannels = 0;
    gst_audio_decoder_set_needs_format(GST_AUDIO_DECODER(dec), TRUE);
    gst_audio_decoder_set_drainable(GST_AUDIO_DECODER(dec), TRUE);
}

} // namespace

gboolean tolmRegisterAacDecoder(GstPlugin *plugin)
{
    return gst_element_register(plugin, "tolmaacdec", GST_RANK_PRIMARY, tolm_aac_dec_get_type());
}
