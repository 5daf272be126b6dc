#include "alacdecoder.h"

#include "media/alac/alacdecoder.h"

#include <gst/audio/gstaudiodecoder.h>

// Plain GObject code: this plugin uses no C++ library, so loading it maps no C++ runtime.

namespace {

struct TolmAlacDec
{
    GstAudioDecoder parent;
    Alac::Decoder decoder;
    gint32 *scratch; // the decoder's working room
    gint32 *frame; // one packet's samples
    gboolean configured;
};

struct TolmAlacDecClass
{
    GstAudioDecoderClass parent;
};

GType tolm_alac_dec_get_type();
G_DEFINE_TYPE(TolmAlacDec, tolm_alac_dec, GST_TYPE_AUDIO_DECODER)

GstStaticPadTemplate sinkTemplate
    = GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("audio/x-alac"));

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format = (string) { " GST_AUDIO_NE(S16) ", " GST_AUDIO_NE(S24_32) ", " GST_AUDIO_NE(
        S32) " }, layout = (string) interleaved, rate = (int) [ 1, MAX ], channels = (int) [ 1, 8 ]"));

TolmAlacDec *self(gpointer object)
{
    return reinterpret_cast<TolmAlacDec *>(object);
}

void release(TolmAlacDec *dec)
{
    g_clear_pointer(&dec->scratch, g_free);
    g_clear_pointer(&dec->frame, g_free);
    dec->configured = FALSE;
}

gboolean stop(GstAudioDecoder *decoder)
{
    release(self(decoder));
    return TRUE;
}

// ALAC's channel orders for one to eight channels, by the elements of a packet.
void positionsOf(gint channels, GstAudioChannelPosition *to)
{
    using P = GstAudioChannelPosition;
    static const P kOrders[8][8] = {
        { GST_AUDIO_CHANNEL_POSITION_MONO },
        { GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT, GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT },
        { GST_AUDIO_CHANNEL_POSITION_FRONT_CENTER, GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT,
            GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT },
        { GST_AUDIO_CHANNEL_POSITION_FRONT_CENTER, GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT,
            GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT, GST_AUDIO_CHANNEL_POSITION_REAR_CENTER },
        { GST_AUDIO_CHANNEL_POSITION_FRONT_CENTER, GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT,
            GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT, GST_AUDIO_CHANNEL_POSITION_REAR_LEFT,
            GST_AUDIO_CHANNEL_POSITION_REAR_RIGHT },
        { GST_AUDIO_CHANNEL_POSITION_FRONT_CENTER, GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT,
            GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT, GST_AUDIO_CHANNEL_POSITION_REAR_LEFT,
            GST_AUDIO_CHANNEL_POSITION_REAR_RIGHT, GST_AUDIO_CHANNEL_POSITION_LFE1 },
        { GST_AUDIO_CHANNEL_POSITION_FRONT_CENTER, GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT,
            GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT, GST_AUDIO_CHANNEL_POSITION_REAR_LEFT,
            GST_AUDIO_CHANNEL_POSITION_REAR_RIGHT, GST_AUDIO_CHANNEL_POSITION_REAR_CENTER,
            GST_AUDIO_CHANNEL_POSITION_LFE1 },
        { GST_AUDIO_CHANNEL_POSITION_FRONT_CENTER, GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT_OF_CENTER,
            GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT_OF_CENTER, GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT,
            GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT, GST_AUDIO_CHANNEL_POSITION_REAR_LEFT,
            GST_AUDIO_CHANNEL_POSITION_REAR_RIGHT, GST_AUDIO_CHANNEL_POSITION_LFE1 },
    };
    for (gint c = 0; c < channels; ++c)
        to[c] = kOrders[channels - 1][c];
}

GstAudioFormat formatOf(guint8 bitDepth)
{
    if (bitDepth == 16)
        return GST_AUDIO_FORMAT_S16;
    return bitDepth == 32 ? GST_AUDIO_FORMAT_S32 : GST_AUDIO_FORMAT_S24_32;
}

gboolean setFormat(GstAudioDecoder *decoder, GstCaps *caps)
{
    TolmAlacDec *dec = self(decoder);
    release(dec);
    const GValue *value = gst_structure_get_value(gst_caps_get_structure(caps, 0), "codec_data");
    if (!value || !GST_VALUE_HOLDS_BUFFER(value))
        return FALSE; // packets cannot be decoded without their configuration
    GstBuffer *codecData = gst_value_get_buffer(value);
    GstMapInfo map;
    if (!gst_buffer_map(codecData, &map, GST_MAP_READ))
        return FALSE;
    Alac::Config config;
    const bool parsed = Alac::parseCookie(map.data, map.size, config);
    gst_buffer_unmap(codecData, &map);
    if (!parsed)
        return FALSE;
    dec->scratch = static_cast<gint32 *>(g_malloc(Alac::Decoder::scratchSamples(config) * sizeof(gint32)));
    dec->frame = static_cast<gint32 *>(g_malloc(gsize(config.frameLength) * config.channels * sizeof(gint32)));
    if (!dec->decoder.init(config, dec->scratch))
        return FALSE;

    GstAudioChannelPosition positions[8];
    positionsOf(config.channels, positions);
    GstAudioChannelPosition valid[8];
    for (gint c = 0; c < config.channels; ++c)
        valid[c] = positions[c];
    if (config.channels > 2)
        gst_audio_channel_positions_to_valid_order(valid, config.channels);
    GstAudioInfo info;
    gst_audio_info_init(&info);
    gst_audio_info_set_format(
        &info, formatOf(config.bitDepth), static_cast<gint>(config.sampleRate), config.channels, valid);
    dec->configured = gst_audio_decoder_set_output_format(decoder, &info);
    return dec->configured;
}

// One packet to one output buffer, channels moved to GStreamer's order where it differs.
GstFlowReturn handleFrame(GstAudioDecoder *decoder, GstBuffer *buffer)
{
    TolmAlacDec *dec = self(decoder);
    if (!buffer)
        return GST_FLOW_OK; // nothing held back to drain
    if (!dec->configured)
        return GST_FLOW_NOT_NEGOTIATED;
    GstMapInfo in;
    if (!gst_buffer_map(buffer, &in, GST_MAP_READ))
        return GST_FLOW_ERROR;
    guint32 frames = 0;
    const Alac::Decoder::Status status = dec->decoder.decode(in.data, in.size, dec->frame, frames);
    gst_buffer_unmap(buffer, &in);
    if (status != Alac::Decoder::Status::Ok) {
        GstFlowReturn result = GST_FLOW_OK;
        GST_AUDIO_DECODER_ERROR(dec, 1, STREAM, DECODE, (nullptr), ("a damaged Apple Lossless packet"), result);
        if (result != GST_FLOW_OK)
            return result;
        return gst_audio_decoder_finish_frame(decoder, nullptr, 1);
    }

    const Alac::Config &config = dec->decoder.config();
    const gint channels = config.channels;
    GstAudioChannelPosition from[8];
    GstAudioChannelPosition to[8];
    positionsOf(channels, from);
    for (gint c = 0; c < channels; ++c)
        to[c] = from[c];
    gint reorder[8] = { 0, 1, 2, 3, 4, 5, 6, 7 };
    if (channels > 2) {
        gst_audio_channel_positions_to_valid_order(to, channels);
        gst_audio_get_channel_reorder_map(channels, from, to, reorder);
    }
    const gsize width = config.bitDepth == 16 ? 2 : 4;
    GstBuffer *out = gst_audio_decoder_allocate_output_buffer(decoder, gsize(frames) * gsize(channels) * width);
    GstMapInfo map;
    gst_buffer_map(out, &map, GST_MAP_WRITE);
    for (guint32 f = 0; f < frames; ++f) {
        for (gint c = 0; c < channels; ++c) {
            const gint32 sample = dec->frame[gsize(f) * gsize(channels) + gsize(c)];
            const gsize at = gsize(f) * gsize(channels) + gsize(reorder[c]);
            if (width == 2)
                reinterpret_cast<gint16 *>(map.data)[at] = static_cast<gint16>(sample);
            else
                reinterpret_cast<gint32 *>(map.data)[at] = sample;
        }
    }
    gst_buffer_unmap(out, &map);
    return gst_audio_decoder_finish_frame(decoder, out, 1);
}

void finalize(GObject *object)
{
    release(self(object));
    G_OBJECT_CLASS(tolm_alac_dec_parent_class)->finalize(object);
}

void tolm_alac_dec_class_init(TolmAlacDecClass *klass)
{
    G_OBJECT_CLASS(klass)->finalize = finalize;
    GstElementClass *element = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element, &sinkTemplate);
    gst_element_class_add_static_pad_template(element, &srcTemplate);
    gst_element_class_set_static_metadata(element, "Apple Lossless decoder", "Codec/Decoder/Audio",
        "Decodes Apple Lossless (ALAC) packets", "TOLM Audio Converter");
    GstAudioDecoderClass *base = GST_AUDIO_DECODER_CLASS(klass);
    base->stop = stop;
    base->set_format = setFormat;
    base->handle_frame = handleFrame;
}

void tolm_alac_dec_init(TolmAlacDec *dec)
{
    dec->scratch = nullptr;
    dec->frame = nullptr;
    dec->configured = FALSE;
    gst_audio_decoder_set_needs_format(GST_AUDIO_DECODER(dec), TRUE);
}

} // namespace

gboolean tolmRegisterAlacDecoder(GstPlugin *plugin)
{
    return gst_element_register(plugin, "tolmalacdec", GST_RANK_PRIMARY, tolm_alac_dec_get_type());
}
