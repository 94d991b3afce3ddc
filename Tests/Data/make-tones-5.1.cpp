// Writes tones-5.1.ogg: 0.4 s of 5.1 sound at 22050 Hz with one steady tone per speaker, so a test
// can tell every channel apart after decoding and mixing. Not part of the build; made once with
//   g++ -O2 make-tones-5.1.cpp -o make-tones -lvorbisenc -lvorbis -logg && ./make-tones
// Vorbis stores 5.1 as front left, centre, front right, rear left, rear right, LFE.
#include <cmath>
#include <cstdio>
#include <vorbis/vorbisenc.h>

int main() {
    const int rate = 22050, frames = rate * 4 / 10, channels = 6;
    // Per Vorbis channel: frequency (Hz) and amplitude. FL, C, FR, RL, RR, LFE.
    const double hz[channels] = {441, 882, 661.5, 551.25, 771.75, 110.25};
    const double amp[channels] = {0.5, 0.3, 0.4, 0.25, 0.2, 0.35};
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, 0.3f)) return 1;
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 51);
    FILE *out = std::fopen("tones-5.1.ogg", "wb");
    if (!out) return 1;
    ogg_packet h0, h1, h2;
    ogg_page page;
    vorbis_analysis_headerout(&vd, &vc, &h0, &h1, &h2);
    ogg_stream_packetin(&os, &h0);
    ogg_stream_packetin(&os, &h1);
    ogg_stream_packetin(&os, &h2);
    while (ogg_stream_flush(&os, &page)) {
        std::fwrite(page.header, 1, page.header_len, out);
        std::fwrite(page.body, 1, page.body_len, out);
    }
    float **buffer = vorbis_analysis_buffer(&vd, frames);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < frames; ++i) buffer[c][i] = float(amp[c] * std::sin(2 * M_PI * hz[c] * i / rate));
    vorbis_analysis_wrote(&vd, frames);
    vorbis_analysis_wrote(&vd, 0);
    ogg_packet packet;
    int eos = 0;
    while (!eos && vorbis_analysis_blockout(&vd, &vb) == 1) {
        vorbis_analysis(&vb, nullptr);
        vorbis_bitrate_addblock(&vb);
        while (vorbis_bitrate_flushpacket(&vd, &packet)) {
            ogg_stream_packetin(&os, &packet);
            while (!eos && ogg_stream_pageout(&os, &page)) {
                std::fwrite(page.header, 1, page.header_len, out);
                std::fwrite(page.body, 1, page.body_len, out);
                eos = ogg_page_eos(&page);
            }
        }
    }
    while (ogg_stream_flush(&os, &page)) {
        std::fwrite(page.header, 1, page.header_len, out);
        std::fwrite(page.body, 1, page.body_len, out);
    }
    std::fclose(out);
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return 0;
}
