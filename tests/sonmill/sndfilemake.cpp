// sndfilemake IN.wav OUT: rewrites a WAV with libsndfile into the container OUT's
// extension names (.caf, .w64, .aifc little-endian AIFF-C, .aif 24-bit AIFF), so the tests
// have inputs that only our libsndfile reader decodes.

#include <sndfile.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: sndfilemake IN.wav OUT\n");
        return 2;
    }
    SF_INFO in {};
    SNDFILE *source = sf_open(argv[1], SFM_READ, &in);
    if (!source)
        return 1;
    const std::string out = argv[2];
    auto endsWith = [&](const char *suffix) {
        return out.size() >= std::strlen(suffix)
            && out.compare(out.size() - std::strlen(suffix), std::string::npos, suffix) == 0;
    };
    SF_INFO info = in;
    if (endsWith(".caf"))
        info.format = SF_FORMAT_CAF | SF_FORMAT_PCM_16;
    else if (endsWith(".w64"))
        info.format = SF_FORMAT_W64 | SF_FORMAT_PCM_16;
    else if (endsWith(".aifc"))
        info.format = SF_FORMAT_AIFF | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE;
    else if (endsWith(".aif"))
        info.format = SF_FORMAT_AIFF | SF_FORMAT_PCM_24;
    else
        return 2;
    SNDFILE *target = sf_open(argv[2], SFM_WRITE, &info);
    if (!target)
        return 1;
    std::vector<float> block(4096 * static_cast<std::size_t>(in.channels));
    sf_count_t got;
    while ((got = sf_readf_float(source, block.data(), 4096)) > 0)
        sf_writef_float(target, block.data(), got);
    sf_close(source);
    return sf_close(target) == 0 ? 0 : 1;
}
