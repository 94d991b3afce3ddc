// The survey of an Ogg Vorbis file before anything is decoded or allocated for it: its pages are
// walked front to back (libogg checks every page's CRC), each link's headers are read and the audio
// packets' block sizes summed, which bounds how many frames the file can decode to. Pure
// computation over bytes in memory; any thread. It never seeks: the seeking paths of the decoder
// library are the ones hostile files break.
#include "Platform/AudioDecode.h"
#include <vorbis/codec.h>
#include <algorithm>
#include <cstring>

namespace {

// One logical Vorbis stream of a chain, with what its pages declare and what its packets hold.
struct Link {
    long iSerial = 0;
    ogg_stream_state Stream;
    vorbis_info Info;
    vorbis_comment Comment;
    int iHeaders = 0;
    long iLastBlock = -1;         // block size of the previous audio packet
    int64_t iCounted = 0;         // frames the audio packets decode to at most
    int64_t iBegin = -1;          // frames the granule positions leave out at the start
    int64_t iLastGranule = -1;
    bool bAudio = false;          // an audio packet was seen

    explicit Link(long serial) : iSerial(serial) {
        ogg_stream_init(&Stream, static_cast<int>(serial));
        vorbis_info_init(&Info);
        vorbis_comment_init(&Comment);
    }
    ~Link() {
        ogg_stream_clear(&Stream);
        vorbis_comment_clear(&Comment);
        vorbis_info_clear(&Info);
    }
    Link(const Link &) = delete;
    Link &operator=(const Link &) = delete;
};

std::string HeaderProblem(int code) {
    return code == OV_ENOTVORBIS ? "not an Ogg Vorbis stream (unsupported codec)"
         : code == OV_EVERSION   ? "unsupported Vorbis version"
                                 : "damaged Vorbis headers";
}

bool StartsVorbis(ogg_page &page) {
    ogg_stream_state probe;
    ogg_stream_init(&probe, ogg_page_serialno(&page));
    ogg_stream_pagein(&probe, &page);
    ogg_packet packet;
    const bool vorbis = ogg_stream_packetout(&probe, &packet) == 1 && vorbis_synthesis_idheader(&packet);
    ogg_stream_clear(&probe);
    return vorbis;
}

class Survey {
  public:
    explicit Survey(MVE_AUDIO_SURVEY &out) : out_(out) {}

    // Takes one page; false with the reason in error_ once the file is refused.
    bool Page(ogg_page &page) {
        // A new link starts where the decoder starts one: at the first page of another stream.
        if (ogg_page_bos(&page) && (!link_ || ogg_page_serialno(&page) != link_->iSerial) && StartsVorbis(page)) {
            if (link_ && !Finish()) return false;
            link_ = std::make_unique<Link>(ogg_page_serialno(&page));
        }
        // Pages of other streams (a multiplexed codec, a non-Vorbis start) are not ours.
        if (!link_ || ogg_page_serialno(&page) != link_->iSerial) return true;
        Link &l = *link_;
        if (ogg_stream_pagein(&l.Stream, &page) != 0) return true;
        ogg_packet packet;
        for (int got; (got = ogg_stream_packetout(&l.Stream, &packet)) != 0;) {
            if (got < 0) continue;  // a gap: the decoder resynchronises there and goes on
            if (l.iHeaders < 3) {
                if (const int code = vorbis_synthesis_headerin(&l.Info, &l.Comment, &packet)) return Fail(HeaderProblem(code));
                if (++l.iHeaders == 1 && !Format(l.Info)) return false;
                continue;
            }
            // A packet that is no audio block is dropped by the decoder as well.
            const long block = vorbis_packet_blocksize(&l.Info, &packet);
            if (block <= 0) continue;
            if (l.iLastBlock > 0) l.iCounted += (l.iLastBlock + block) / 4;
            l.iLastBlock = block;
            l.bAudio = true;
        }
        const int64_t granule = ogg_page_granulepos(&page);
        if (l.bAudio && granule != -1) {
            if (granule < 0) return Fail("damaged granule positions");
            // As the decoder library counts: the first audio page's position minus the frames
            // before it is where the stream starts (a stream cut from a longer one starts late).
            if (l.iBegin < 0) l.iBegin = std::max<int64_t>(0, granule - l.iCounted);
            l.iLastGranule = granule;
        }
        return true;
    }

    // Ends the file at `pagesEnd` of `size` bytes.
    bool End(uint64_t pagesEnd, uint64_t size) {
        if (!link_ && !links_) return Fail("not an Ogg Vorbis stream (unsupported codec)");
        if (link_ && !Finish()) return false;
        if (pagesEnd < size) return Fail("the file is cut off (its last page is incomplete)");
        if (out_.iCounted <= 0 || out_.iDeclared == 0) return Fail("the file holds no sound");
        return true;
    }

    const std::string &Error() const { return error_; }

  private:
    bool Fail(std::string why) {
        error_ = std::move(why);
        return false;
    }

    // Every link must have the first one's format, and one that devices can play.
    bool Format(const vorbis_info &info) {
        if (!links_ && !out_.iChannels) {
            if (info.channels < 1 || info.channels > MVE_AUDIO_MAX_CHANNELS)
                return Fail("unsupported channel count " + std::to_string(info.channels));
            if (info.rate < 1 || info.rate > MVE_AUDIO_MAX_RATE) return Fail("impossible sample rate " + std::to_string(info.rate));
            out_.iChannels = info.channels;
            out_.iRate = static_cast<int>(info.rate);
            return true;
        }
        if (info.channels != out_.iChannels || info.rate != out_.iRate) return Fail("chained streams change their format");
        return true;
    }

    // Closes the current link: what its granule positions declare must fit what its packets hold.
    bool Finish() {
        std::unique_ptr<Link> l = std::move(link_);
        if (l->iHeaders < 3) return Fail("damaged Vorbis headers");
        int64_t declared = l->iCounted;
        if (l->iLastGranule >= 0) {
            declared = l->iLastGranule - l->iBegin;
            if (declared < 0 || declared > l->iCounted)
                return Fail("the file declares " + std::to_string(l->iLastGranule) + " frames but its packets hold at most " +
                            std::to_string(l->iCounted));
        }
        // Each link is bounded by its packets, so the sums stay far from overflowing.
        out_.iCounted += l->iCounted;
        out_.iDeclared += declared;
        ++links_;
        return true;
    }

    MVE_AUDIO_SURVEY &out_;
    std::unique_ptr<Link> link_;
    int links_ = 0;
    std::string error_;
};

}  // namespace

int MVE_AudioSurvey(const std::vector<uint8_t> &bytes, MVE_AUDIO_SURVEY &survey, std::string &error) {
    survey = MVE_AUDIO_SURVEY();
    if (bytes.empty()) {
        error = "the file is empty";
        return 0;
    }
    constexpr size_t kFeed = 65536;   // the framer holds one page and one piece, never the file
    struct Sync {
        ogg_sync_state State;
        Sync() { ogg_sync_init(&State); }
        ~Sync() { ogg_sync_clear(&State); }
    } framer;
    ogg_sync_state &sync = framer.State;
    Survey walk(survey);
    size_t fed = 0;
    uint64_t offset = 0, pagesEnd = 0;
    bool ok = true;
    for (;;) {
        ogg_page page;
        const long got = ogg_sync_pageseek(&sync, &page);
        if (got == 0) {
            if (fed == bytes.size()) break;
            const size_t piece = std::min(kFeed, bytes.size() - fed);
            char *into = ogg_sync_buffer(&sync, static_cast<long>(piece));
            if (!into) {
                error = "out of memory";
                ok = false;
                break;
            }
            std::memcpy(into, bytes.data() + fed, piece);
            ogg_sync_wrote(&sync, static_cast<long>(piece));
            fed += piece;
            continue;
        }
        if (got < 0) {   // bytes skipped while looking for the next page
            offset += static_cast<uint64_t>(-got);
            continue;
        }
        offset += static_cast<uint64_t>(got);
        pagesEnd = offset;
        if (!walk.Page(page)) {
            ok = false;
            break;
        }
    }
    if (ok) ok = walk.End(pagesEnd, bytes.size());
    if (!ok) {
        if (error.empty()) error = walk.Error();
        const int channels = survey.iChannels, rate = survey.iRate;
        survey = MVE_AUDIO_SURVEY();
        survey.iChannels = channels, survey.iRate = rate;
        return 0;
    }
    return 1;
}
