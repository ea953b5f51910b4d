#include "components/aviplayer/sequencedecoder.h"

#include "components/aviplayer/regularfile.h"

#include <cctype>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

namespace aviplayer {

namespace {

struct FormatCloser {
    void operator()(AVFormatContext *f) const { avformat_close_input(&f); }
};
struct CodecCloser {
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
struct PacketFree {
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
struct FrameFree {
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};

} // namespace

bool isStillPictureName(const std::string &path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return false;
    std::string ext = path.substr(dot + 1);
    for (char &c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == "bmp" || ext == "png" || ext == "jpg" || ext == "jpeg" || ext == "tif" ||
           ext == "tiff";
}

FramePtr decodePicture(const std::string &file) {
    if (!isRegularFile(file))
        return {};
    // The still-picture reader, told that the name is literal (it may hold a '%').
    AVDictionary *options = nullptr;
    av_dict_set(&options, "pattern_type", "none", 0);
    AVFormatContext *raw = nullptr;
    const int opened =
        avformat_open_input(&raw, file.c_str(), av_find_input_format("image2"), &options);
    av_dict_free(&options);
    if (opened < 0)
        return {};
    std::unique_ptr<AVFormatContext, FormatCloser> format(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        return {};
    const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0)
        return {};
    const AVCodec *codec = avcodec_find_decoder(format->streams[stream]->codecpar->codec_id);
    if (!codec)
        return {};
    std::unique_ptr<AVCodecContext, CodecCloser> ctx(avcodec_alloc_context3(codec));
    if (!ctx || avcodec_parameters_to_context(ctx.get(), format->streams[stream]->codecpar) < 0)
        return {};
    ctx->thread_count = 1;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0)
        return {};
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    if (!packet || !frame)
        return {};
    bool flushed = false;
    while (true) {
        const int got = avcodec_receive_frame(ctx.get(), frame.get());
        if (got >= 0)
            return adoptFrame(frame.get());
        if (got != AVERROR(EAGAIN) || flushed)
            return {};
        if (av_read_frame(format.get(), packet.get()) < 0) {
            avcodec_send_packet(ctx.get(), nullptr);
            flushed = true;
            continue;
        }
        if (packet->stream_index == stream)
            avcodec_send_packet(ctx.get(), packet.get());
        av_packet_unref(packet.get());
    }
}

bool SequenceDecoder::open(const std::string &path, std::string *error) {
    m_files.clear();
    if (ImageSequence::isPattern(path)) {
        const ImageSequence seq = ImageSequence::list(path);
        for (int i = 0; i < seq.count(); ++i)
            m_files.push_back(seq.file(i));
        m_first = seq.firstNumber();
    } else {
        m_files.push_back(path);
    }
    if (m_files.empty()) {
        if (error)
            *error = "no file of the sequence exists";
        return false;
    }
    if (!decode(0, {})) {
        if (error)
            *error = "the first picture cannot be decoded";
        m_files.clear();
        return false;
    }
    return true;
}

FramePtr SequenceDecoder::decode(int n, const Sink &sink) {
    if (n < 0 || n >= frameCount())
        return {};
    FramePtr frame = decodePicture(m_files[static_cast<std::size_t>(n)]);
    if (frame && sink)
        sink(n, frame);
    return frame;
}

} // namespace aviplayer
