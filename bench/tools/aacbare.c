/* aacbare IN.wav OUT.aac KBPS: the reference for sonmill's AAC speed. Reads a 16-bit PCM
 * WAV and encodes it with vo-aacenc into ADTS frames, nothing else: no decoding library,
 * no resampling, no container. */
#include <vo-aacenc/cmnMemory.h>
#include <vo-aacenc/voAAC.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static uint32_t le32(const unsigned char *p) { return p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24); }

int main(int argc, char **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: aacbare IN.wav OUT.aac KBPS\n");
        return 2;
    }
    FILE *in = fopen(argv[1], "rb");
    FILE *out = fopen(argv[2], "wb");
    if (!in || !out)
        return 1;
    unsigned char header[12];
    if (fread(header, 1, 12, in) != 12 || memcmp(header, "RIFF", 4) || memcmp(header + 8, "WAVE", 4))
        return 1;
    int channels = 0, rate = 0;
    for (;;) { /* walk the chunks to "data" */
        unsigned char chunk[8];
        if (fread(chunk, 1, 8, in) != 8)
            return 1;
        uint32_t size = le32(chunk + 4);
        if (!memcmp(chunk, "fmt ", 4)) {
            unsigned char fmt[16];
            if (fread(fmt, 1, 16, in) != 16)
                return 1;
            channels = fmt[2] | (fmt[3] << 8);
            rate = (int)le32(fmt + 4);
            fseek(in, (long)(size - 16 + (size & 1)), SEEK_CUR);
        } else if (!memcmp(chunk, "data", 4)) {
            break;
        } else {
            fseek(in, (long)(size + (size & 1)), SEEK_CUR);
        }
    }

    VO_AUDIO_CODECAPI api;
    VO_MEM_OPERATOR memory = { cmnMemAlloc, cmnMemFree, cmnMemSet, cmnMemCopy, cmnMemCheck, cmnMemCompare, cmnMemMove };
    VO_CODEC_INIT_USERDATA user = { VO_IMF_USERMEMOPERATOR, &memory, 0, 0 };
    VO_HANDLE handle = 0;
    voGetAACEncAPI(&api);
    if (api.Init(&handle, VO_AUDIO_CodingAAC, &user) != VO_ERR_NONE)
        return 1;
    AACENC_PARAM params = { rate, atoi(argv[3]) * 1000, (short)channels, 1 };
    if (api.SetParam(handle, VO_PID_AAC_ENCPARAM, &params) != VO_ERR_NONE)
        return 1;

    const size_t frameBytes = 1024u * (size_t)channels * 2;
    unsigned char *pcm = malloc(frameBytes);
    unsigned char outBuffer[8192];
    size_t got;
    while ((got = fread(pcm, 1, frameBytes, in)) > 0) {
        if (got < frameBytes)
            memset(pcm + got, 0, frameBytes - got);
        VO_CODECBUFFER input = { pcm, (VO_U32)frameBytes, 0 };
        api.SetInputData(handle, &input);
        for (;;) {
            VO_CODECBUFFER output = { outBuffer, sizeof outBuffer, 0 };
            VO_AUDIO_OUTPUTINFO info;
            if (api.GetOutputData(handle, &output, &info) != VO_ERR_NONE || output.Length == 0)
                break;
            fwrite(outBuffer, 1, output.Length, out);
        }
    }
    api.Uninit(handle);
    free(pcm);
    fclose(in);
    return fclose(out) == 0 ? 0 : 1;
}
