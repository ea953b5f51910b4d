#include "components/vidgrab/framesource.h"

#include "components/vidgrab/cornercode.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <cstdlib>
#include <limits>
#include <mutex>
#include <string>

namespace vidgrab {

namespace {

// The synthetic camera: a moving pattern, by default at 640x480 and 25 frames per second,
// paced in real time, so it delivers like a camera and not as fast as it can.
std::string testCameraGraph(const FormatRequest &request) {
    const int w = request.width > 0 ? request.width : 640;
    const int h = request.height > 0 ? request.height : 480;
    const int rate = request.rate > 0 ? request.rate : 25;
    return "testsrc2=size=" + std::to_string(w) + "x" + std::to_string(h) +
           ":rate=" + std::to_string(rate) + ",realtime";
}

void registerDevices() {
    static std::once_flag once;
    std::call_once(once, [] { avdevice_register_all(); });
}

int interruptCallback(void *opaque) {
    const auto *flag = static_cast<const std::atomic<bool> *>(opaque);
    return flag && flag->load() ? 1 : 0;
}

// ORVANE_TEST_CAMERA_FRAMES: how many frames the synthetic camera delivers before it acts
// as unplugged; no limit when unset or not a positive number.
std::int64_t testCameraFrameLimit() {
    const char *text = std::getenv("ORVANE_TEST_CAMERA_FRAMES");
    if (!text)
        return std::numeric_limits<std::int64_t>::max();
    char *end = nullptr;
    const long long n = std::strtoll(text, &end, 10);
    return end != text && n > 0 ? n : std::numeric_limits<std::int64_t>::max();
}

} // namespace

struct FrameSource::Impl {
    std::chrono::steady_clock::time_point lastArrival; // when the newest packet was read
    AVFormatContext *format = nullptr;
    AVCodecContext *codec = nullptr;
    SwsContext *sws = nullptr;
    AVPacket *packet = nullptr;
    AVFrame *frame = nullptr;
    int stream = -1;
    AVRational timeBase{1, 1};
    AVRational rate{25, 1};
    bool synthetic = false;
    std::int64_t delivered = 0;
    std::int64_t limit = std::numeric_limits<std::int64_t>::max();
    bool draining = false;

    ~Impl() {
        sws_freeContext(sws);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};

FrameSource::FrameSource() : m_impl(std::make_unique<Impl>()) {}
FrameSource::~FrameSource() = default;

std::unique_ptr<FrameSource> FrameSource::open(const DeviceInfo &device,
                                               const std::atomic<bool> *interrupt,
                                               const FormatRequest &request) {
    registerDevices();
    std::unique_ptr<FrameSource> source(new FrameSource());
    Impl &d = *source->m_impl;
    d.synthetic = device.kind == DeviceKind::Synthetic;
    const AVInputFormat *input = av_find_input_format(d.synthetic ? "lavfi" : "video4linux2");
    if (!input)
        return nullptr;
    d.format = avformat_alloc_context();
    if (!d.format)
        return nullptr;
    d.format->interrupt_callback.callback = &interruptCallback;
    d.format->interrupt_callback.opaque = const_cast<void *>(static_cast<const void *>(interrupt));
    const std::string url = d.synthetic ? testCameraGraph(request) : device.displayName;
    AVDictionary *options = nullptr;
    if (!d.synthetic && request.width > 0 && request.height > 0)
        av_dict_set(&options, "video_size",
                    (std::to_string(request.width) + "x" + std::to_string(request.height)).c_str(),
                    0);
    if (!d.synthetic && request.rate > 0)
        av_dict_set(&options, "framerate", std::to_string(request.rate).c_str(), 0);
    // On failure avformat_open_input frees the context and nulls the pointer.
    const int opened = avformat_open_input(&d.format, url.c_str(), input, &options);
    av_dict_free(&options);
    if (opened < 0)
        return nullptr;
    if (avformat_find_stream_info(d.format, nullptr) < 0)
        return nullptr;
    d.stream = av_find_best_stream(d.format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (d.stream < 0)
        return nullptr;
    const AVStream *st = d.format->streams[d.stream];
    const AVCodec *decoder = avcodec_find_decoder(st->codecpar->codec_id);
    if (!decoder)
        return nullptr;
    d.codec = avcodec_alloc_context3(decoder);
    if (!d.codec || avcodec_parameters_to_context(d.codec, st->codecpar) < 0 ||
        avcodec_open2(d.codec, decoder, nullptr) < 0)
        return nullptr;
    if (d.codec->width <= 0 || d.codec->height <= 0)
        return nullptr;
    d.packet = av_packet_alloc();
    d.frame = av_frame_alloc();
    if (!d.packet || !d.frame)
        return nullptr;
    d.timeBase = st->time_base;
    d.rate = st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0 ? st->avg_frame_rate
             : st->r_frame_rate.num > 0 && st->r_frame_rate.den > 0   ? st->r_frame_rate
                                                                      : AVRational{25, 1};
    if (d.synthetic)
        d.limit = testCameraFrameLimit();
    source->m_width = d.codec->width;
    source->m_height = d.codec->height;
    source->m_rateNum = d.rate.num;
    source->m_rateDen = d.rate.den;
    return source;
}

bool FrameSource::read(CapturedFrame &out) {
    Impl &d = *m_impl;
    if (d.delivered >= d.limit)
        return false;
    for (;;) {
        const int got = avcodec_receive_frame(d.codec, d.frame);
        if (got == 0)
            break;
        if (got != AVERROR(EAGAIN) || d.draining)
            return false;
        const int r = av_read_frame(d.format, d.packet);
        d.lastArrival = std::chrono::steady_clock::now();
        if (r < 0) {
            // The end or a read error: hand out what the decoder still holds, then stop.
            d.draining = true;
            avcodec_send_packet(d.codec, nullptr);
            continue;
        }
        if (d.packet->stream_index == d.stream && avcodec_send_packet(d.codec, d.packet) < 0) {
            av_packet_unref(d.packet);
            return false;
        }
        av_packet_unref(d.packet);
    }

    const int w = d.frame->width, h = d.frame->height;
    d.sws = sws_getCachedContext(d.sws, w, h, static_cast<AVPixelFormat>(d.frame->format), w, h,
                                 AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!d.sws || w <= 0 || h <= 0) {
        av_frame_unref(d.frame);
        return false;
    }
    out.arrived = d.lastArrival;
    out.width = w;
    out.height = h;
    out.bgra.resize(static_cast<std::size_t>(w) * h * 4);
    std::uint8_t *planes[4] = {out.bgra.data(), nullptr, nullptr, nullptr};
    int strides[4] = {w * 4, 0, 0, 0};
    sws_scale(d.sws, d.frame->data, d.frame->linesize, 0, h, planes, strides);

    const std::int64_t pts = d.frame->best_effort_timestamp != AV_NOPTS_VALUE
                                 ? d.frame->best_effort_timestamp
                                 : d.delivered;
    out.streamTime100ns = av_rescale_q(pts, d.timeBase, AVRational{1, 10000000});
    out.frameIndex = av_rescale_q(pts, d.timeBase, av_inv_q(d.rate));
    av_frame_unref(d.frame);
    if (d.synthetic)
        stampFrameNumber(out.bgra.data(), w * 4, w, h, static_cast<std::uint32_t>(out.frameIndex));
    ++d.delivered;
    return true;
}

} // namespace vidgrab
