// What the resource tools share for sound: mono samples (-1 .. 1) encoded as Ogg Vorbis (libvorbisenc),
// byte for byte the same on every run.
#pragma once
#include <vorbis/vorbisenc.h>
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace mvetools {

inline bool WriteOgg(const std::string &path, const std::vector<float> &samples, int rate, const char *title) {
    FILE *out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, 1, rate, 0.5f) != 0) {
        vorbis_info_clear(&info);
        std::fclose(out);
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_comment_add_tag(&comment, "TITLE", title);
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 0x4D564531);  // fixed serial number: the same bytes every run
    ogg_page page;
    ogg_packet packet, packetComment, packetCode;
    vorbis_analysis_headerout(&dsp, &comment, &packet, &packetComment, &packetCode);
    ogg_stream_packetin(&stream, &packet);
    ogg_stream_packetin(&stream, &packetComment);
    ogg_stream_packetin(&stream, &packetCode);
    bool ok = true;
    auto writePage = [&]() {
        ok = ok && std::fwrite(page.header, 1, static_cast<size_t>(page.header_len), out) == static_cast<size_t>(page.header_len);
        ok = ok && std::fwrite(page.body, 1, static_cast<size_t>(page.body_len), out) == static_cast<size_t>(page.body_len);
    };
    while (ogg_stream_flush(&stream, &page) != 0) writePage();

    const size_t chunk = 1024;
    size_t done = 0;
    bool ended = false;
    while (!ended) {
        const size_t n = std::min(chunk, samples.size() - done);
        if (n == 0) {
            vorbis_analysis_wrote(&dsp, 0);
        } else {
            float **buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
            std::copy(samples.begin() + static_cast<ptrdiff_t>(done), samples.begin() + static_cast<ptrdiff_t>(done + n), buffer[0]);
            vorbis_analysis_wrote(&dsp, static_cast<int>(n));
            done += n;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) {
                    writePage();
                    if (ogg_page_eos(&page)) ended = true;
                }
            }
        }
        if (n == 0) ended = true;
    }
    while (ogg_stream_flush(&stream, &page) != 0) writePage();
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return std::fclose(out) == 0 && ok;
}

}  // namespace mvetools
