#include "components/vidgrab/avirecorder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace vidgrab {

namespace {

// Motion JPEG at quantiser 2 (nearly the best JPEG quality): every frame a key frame, so the
// player seeks exactly, the corner code survives, and two cores keep up with 640x480 at 25
// frames per second.
constexpr int kQuantiser = 2;

} // namespace

struct AviRecorder::Codec {
    AVFormatContext *format = nullptr;
    AVCodecContext *encoder = nullptr;
    AVStream *stream = nullptr;
    SwsContext *sws = nullptr;
    AVFrame *frame = nullptr;
    AVPacket *packet = nullptr;
    std::int64_t nextPts = 0;
    bool headerWritten = false;
    bool ok = true;

    ~Codec() {
        if (format) {
            if (headerWritten)
                av_write_trailer(format);
            if (!(format->oformat->flags & AVFMT_NOFILE))
                avio_closep(&format->pb);
            avformat_free_context(format);
        }
        sws_freeContext(sws);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&encoder);
    }
};

AviRecorder::AviRecorder() : m_codec(std::make_unique<Codec>()) {}

AviRecorder::~AviRecorder() {
    finish();
}

std::unique_ptr<AviRecorder> AviRecorder::create(const std::string &path, int width, int height,
                                                 int rateNum, int rateDen) {
    if (path.empty() || width <= 0 || height <= 0 || rateNum <= 0 || rateDen <= 0)
        return nullptr;
    std::unique_ptr<AviRecorder> rec(new AviRecorder());
    rec->m_width = width;
    rec->m_height = height;
    Codec &c = *rec->m_codec;
    if (avformat_alloc_output_context2(&c.format, nullptr, "avi", path.c_str()) < 0 || !c.format)
        return nullptr;
    const AVCodec *mjpeg = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (!mjpeg)
        return nullptr;
    c.encoder = avcodec_alloc_context3(mjpeg);
    if (!c.encoder)
        return nullptr;
    c.encoder->width = width;
    c.encoder->height = height;
    c.encoder->pix_fmt = AV_PIX_FMT_YUVJ420P;
    c.encoder->color_range = AVCOL_RANGE_JPEG;
    // One tick of the time base is one frame: frame n of the capture is frame n of the file.
    c.encoder->time_base = AVRational{rateDen, rateNum};
    c.encoder->framerate = AVRational{rateNum, rateDen};
    c.encoder->flags |= AV_CODEC_FLAG_QSCALE;
    c.encoder->global_quality = FF_QP2LAMBDA * kQuantiser;
    if (c.format->oformat->flags & AVFMT_GLOBALHEADER)
        c.encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(c.encoder, mjpeg, nullptr) < 0)
        return nullptr;
    c.stream = avformat_new_stream(c.format, nullptr);
    if (!c.stream || avcodec_parameters_from_context(c.stream->codecpar, c.encoder) < 0)
        return nullptr;
    c.stream->time_base = c.encoder->time_base;
    c.stream->avg_frame_rate = c.encoder->framerate;
    c.stream->r_frame_rate = c.encoder->framerate;
    if (avio_open(&c.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0)
        return nullptr;
    if (avformat_write_header(c.format, nullptr) < 0)
        return nullptr;
    c.headerWritten = true;
    c.sws = sws_getContext(width, height, AV_PIX_FMT_BGRA, width, height, AV_PIX_FMT_YUVJ420P,
                           SWS_BILINEAR, nullptr, nullptr, nullptr);
    c.frame = av_frame_alloc();
    c.packet = av_packet_alloc();
    if (!c.sws || !c.frame || !c.packet)
        return nullptr;
    c.frame->format = AV_PIX_FMT_YUVJ420P;
    c.frame->width = width;
    c.frame->height = height;
    c.frame->color_range = AVCOL_RANGE_JPEG;
    if (av_frame_get_buffer(c.frame, 0) < 0)
        return nullptr;
    rec->m_thread = std::thread(&AviRecorder::run, rec.get());
    return rec;
}

AviRecorder::Push AviRecorder::push(const std::vector<std::uint8_t> &bgra) {
    if (bgra.size() != static_cast<std::size_t>(m_width) * m_height * 4)
        return Push::Dropped;
    {
        std::lock_guard lock(m_mutex);
        if (m_closing)
            return Push::Closed;
        if (m_queue.size() >= kQueueCapacity)
            return Push::Dropped;
        m_queue.push_back(bgra);
    }
    m_wake.notify_one();
    return Push::Queued;
}

float AviRecorder::fillState() const {
    std::lock_guard lock(m_mutex);
    return static_cast<float>(m_queue.size()) / static_cast<float>(kQueueCapacity);
}

void AviRecorder::finish() {
    std::lock_guard finishing(m_finishMutex);
    {
        std::lock_guard lock(m_mutex);
        if (m_finished)
            return;
        m_finished = true;
        m_closing = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
    // Writes the index and closes the file.
    m_codec.reset();
}

void AviRecorder::run() {
    for (;;) {
        std::vector<std::uint8_t> frame;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_closing || !m_queue.empty(); });
            if (m_queue.empty())
                break; // closing, and everything is written
            frame = std::move(m_queue.front());
            m_queue.pop_front();
        }
        if (!encode(&frame))
            m_failed.fetch_add(1);
    }
    encode(nullptr);
}

bool AviRecorder::encode(const std::vector<std::uint8_t> *bgra) {
    Codec &c = *m_codec;
    if (!c.ok)
        return false;
    AVFrame *in = nullptr;
    if (bgra) {
        if (av_frame_make_writable(c.frame) < 0)
            return c.ok = false;
        const std::uint8_t *src[4] = {bgra->data(), nullptr, nullptr, nullptr};
        const int srcStride[4] = {m_width * 4, 0, 0, 0};
        sws_scale(c.sws, src, srcStride, 0, m_height, c.frame->data, c.frame->linesize);
        c.frame->pts = c.nextPts++;
        in = c.frame;
    }
    if (avcodec_send_frame(c.encoder, in) < 0)
        return c.ok = false;
    for (;;) {
        const int r = avcodec_receive_packet(c.encoder, c.packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return true;
        if (r < 0)
            return c.ok = false;
        av_packet_rescale_ts(c.packet, c.encoder->time_base, c.stream->time_base);
        c.packet->stream_index = c.stream->index;
        if (av_interleaved_write_frame(c.format, c.packet) < 0)
            return c.ok = false;
        m_written.fetch_add(1);
    }
}

} // namespace vidgrab
