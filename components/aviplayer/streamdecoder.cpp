#include "components/aviplayer/streamdecoder.h"

#include "components/aviplayer/indexcache.h"
#include "components/aviplayer/regularfile.h"

#include <algorithm>
#include <atomic>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace aviplayer {

namespace {

// Packets carry the frame number through the decoder in place of their timestamp, so that
// every frame out names itself, whatever the decoder's delay, threads or reordering.
constexpr int kRetriesEarlier = 3;
constexpr int kProgressEvery = 512; // packets between progress reports

FieldOrder fieldOrderOf(int order) {
    switch (order) {
    case AV_FIELD_TT:
    case AV_FIELD_BT: // bottom coded first, top displayed first
        return FieldOrder::TopFirst;
    case AV_FIELD_BB:
    case AV_FIELD_TB:
        return FieldOrder::BottomFirst;
    default:
        return FieldOrder::Unknown;
    }
}

} // namespace

StreamDecoder::StreamDecoder() : m_packet(av_packet_alloc()), m_frame(av_frame_alloc()) {}

StreamDecoder::~StreamDecoder() {
    avcodec_free_context(&m_codec);
    avformat_close_input(&m_format);
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
}

bool StreamDecoder::openInput() {
    avformat_close_input(&m_format);
    // Checked at every (re)open: a file replaced by a FIFO would block the demuxer.
    if (!isRegularFile(m_path))
        return false;
    int ret = avformat_open_input(&m_format, m_path.c_str(), nullptr, nullptr);
    if (ret < 0)
        return false;
    ret = avformat_find_stream_info(m_format, nullptr);
    if (ret < 0)
        return false;
    m_stream = av_find_best_stream(m_format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (m_stream < 0)
        return false;
    for (unsigned i = 0; i < m_format->nb_streams; ++i)
        m_format->streams[i]->discard =
            static_cast<int>(i) == m_stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    return true;
}

bool StreamDecoder::independentFrames() const {
    // Taken from the codec's nature, not from the container's keyframe flags, which some
    // muxers set on every packet.
    const AVCodecDescriptor *codec = m_codec ? avcodec_descriptor_get(m_codec->codec_id) : nullptr;
    return codec && (codec->props & AV_CODEC_PROP_INTRA_ONLY);
}

bool StreamDecoder::openDecoder(int threads) {
    const AVStream *stream = m_format->streams[m_stream];
    const AVCodec *codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        return false;
    m_codec = avcodec_alloc_context3(codec);
    if (!m_codec || avcodec_parameters_to_context(m_codec, stream->codecpar) < 0)
        return false;
    m_codec->thread_count = threads;
    m_codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    m_codec->pkt_timebase = stream->time_base;
    return avcodec_open2(m_codec, codec, nullptr) >= 0;
}

bool StreamDecoder::open(const std::string &path, int threads, const ProgressFn &progress,
                         std::string *error) {
    m_path = path;
    m_threads = threads;
    auto fail = [error](std::string text) {
        if (error)
            *error = std::move(text);
        return false;
    };
    if (!m_packet || !m_frame)
        return fail("out of memory");
    if (!openInput())
        return fail("not a readable video file");
    if (!openDecoder(threads))
        return fail("no decoder for the video stream");
    // A file indexed a moment ago by another player (unchanged since) is not read again.
    const auto key = IndexCache::identify(path, m_stream);
    const auto cached = key ? IndexCache::find(*key) : nullptr;
    if (cached) {
        m_index = *cached;
        if (progress)
            progress(1.0);
    } else if (!buildIndex(progress)) {
        return fail("the video stream holds no frames");
    }

    const AVStream *stream = m_format->streams[m_stream];
    const double ticksPerSecond = av_q2d(av_inv_q(stream->time_base));
    const double measured = m_index.framesPerTick() * ticksPerSecond;
    if (measured > 0.0)
        m_rate = measured;
    else if (stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0)
        m_rate = av_q2d(stream->avg_frame_rate);
    else if (stream->r_frame_rate.num > 0 && stream->r_frame_rate.den > 0)
        m_rate = av_q2d(stream->r_frame_rate);
    m_fieldOrder = fieldOrderOf(stream->codecpar->field_order);
    if (!cached && !m_index.hasTimestamps() && m_index.frameCount() > 1 && !learnOrder())
        return fail("the video stream cannot be decoded");

    if (!decode(0, {}))
        return fail("the first frame cannot be decoded");
    if (!cached && key)
        IndexCache::store(*key, m_index);
    return true;
}

std::atomic<long> StreamDecoder::s_indexScans{0};

bool StreamDecoder::buildIndex(const ProgressFn &progress) {
    ++s_indexScans;
    const std::int64_t size = m_format->pb ? avio_size(m_format->pb) : -1;
    int sinceReport = 0;
    while (true) {
        const int ret = av_read_frame(m_format, m_packet);
        if (ret < 0)
            break; // the end, or damage past which the demuxer cannot go
        if (m_packet->stream_index == m_stream) {
            PacketInfo info;
            info.pts = m_packet->pts;
            info.dts = m_packet->dts;
            info.pos = m_packet->pos;
            info.key = (m_packet->flags & AV_PKT_FLAG_KEY) != 0;
            info.counted = m_packet->size > 0 && !(m_packet->flags & AV_PKT_FLAG_DISCARD);
            info.corrupt = (m_packet->flags & AV_PKT_FLAG_CORRUPT) != 0;
            m_index.add(info);
        }
        av_packet_unref(m_packet);
        if (progress && size > 0 && ++sinceReport >= kProgressEvery) {
            sinceReport = 0;
            if (!progress(std::clamp(static_cast<double>(avio_tell(m_format->pb)) /
                                         static_cast<double>(size),
                                     0.0, 1.0)))
                return false;
        }
    }
    m_index.finish();
    if (progress)
        progress(1.0);
    return m_index.frameCount() > 0;
}

bool StreamDecoder::learnOrder() {
    // Without presentation timestamps only the decoder knows the order: decode the stream
    // once, each packet carrying its decode index, and note the order of the frames out.
    // Pixels do not matter here, so the costly stages are skipped.
    if (!openInput())
        return false;
    avcodec_flush_buffers(m_codec);
    const AVDiscard idct = m_codec->skip_idct, loop = m_codec->skip_loop_filter;
    m_codec->skip_idct = AVDISCARD_ALL;
    m_codec->skip_loop_filter = AVDISCARD_ALL;
    std::vector<int> order;
    int read = 0;
    bool ended = false, pending = false;
    while (true) {
        int ret = 0;
        while ((ret = avcodec_receive_frame(m_codec, m_frame)) >= 0) {
            if (m_frame->pts != AV_NOPTS_VALUE && m_frame->pts >= 0 &&
                m_frame->pts < m_index.packetCount())
                order.push_back(static_cast<int>(m_frame->pts));
            av_frame_unref(m_frame);
        }
        if (ret == AVERROR_EOF || (ended && ret != AVERROR(EAGAIN)))
            break;
        if (ended)
            continue;
        if (!pending) {
            if (av_read_frame(m_format, m_packet) < 0) {
                avcodec_send_packet(m_codec, nullptr);
                ended = true;
                continue;
            }
            if (m_packet->stream_index != m_stream) {
                av_packet_unref(m_packet);
                continue;
            }
            m_packet->pts = read++;
            m_packet->dts = AV_NOPTS_VALUE;
        }
        pending = avcodec_send_packet(m_codec, m_packet) == AVERROR(EAGAIN);
        if (!pending)
            av_packet_unref(m_packet);
    }
    m_codec->skip_idct = idct;
    m_codec->skip_loop_filter = loop;
    avcodec_flush_buffers(m_codec);
    m_running = false;
    m_index.setPresentationOrder(order);
    return m_index.frameCount() > 0;
}

bool StreamDecoder::restartAt(int keyPacket) {
    avcodec_flush_buffers(m_codec);
    av_packet_unref(m_packet);
    m_running = true;
    m_drained = false;
    m_inputEnded = false;
    m_startPacket = keyPacket;
    m_nextPacket = keyPacket;
    m_lastOut = -1;
    m_firstOut = -1;
    ++m_seeks;

    // Land at or before the keyframe; packets before it are read and dropped.
    bool rewind = true;
    if (m_format && m_index.match() != FrameIndex::Match::Sequential) {
        const PacketInfo &p = m_index.packet(keyPacket);
        const std::int64_t ts = p.dts != kNoTimestamp ? p.dts : p.pts;
        if (ts != kNoTimestamp && av_seek_frame(m_format, m_stream, ts, AVSEEK_FLAG_BACKWARD) >= 0)
            rewind = false;
    }
    m_readCount = 0;
    m_rewound = false;
    m_reachedStart = false;
    if (rewind) {
        if (!openInput())
            return m_running = false;
        m_rewound = true;
    }
    return true;
}

bool StreamDecoder::readOwnPacket(int *decodeIndex) {
    while (m_format) {
        const int ret = av_read_frame(m_format, m_packet);
        if (ret < 0)
            return false;
        if (m_packet->stream_index != m_stream) {
            av_packet_unref(m_packet);
            continue;
        }
        const int counted = m_readCount++;
        int index = -1;
        if (m_index.match() == FrameIndex::Match::Sequential) {
            index = counted; // only ever read from the start of the file
        } else if (const auto found = m_index.lookup(m_packet->pts, m_packet->dts, m_packet->pos)) {
            index = *found;
        } else if (m_reachedStart) {
            index = m_nextPacket; // a packet the index did not see; keep its place
        }
        if (!m_reachedStart) {
            if (index < m_startPacket) {
                av_packet_unref(m_packet);
                continue;
            }
            if (index > m_startPacket) {
                // The demuxer landed after the keyframe: read again from the start.
                av_packet_unref(m_packet);
                if (m_rewound || !openInput())
                    return false;
                m_rewound = true;
                m_readCount = 0;
                continue;
            }
            m_reachedStart = true;
        }
        *decodeIndex = index;
        return true;
    }
    return false; // the file could not be opened again
}

bool StreamDecoder::sendNext() {
    if (m_inputEnded)
        return false;
    if (!m_pending) {
        int index = -1;
        if (!readOwnPacket(&index)) {
            avcodec_send_packet(m_codec, nullptr);
            m_inputEnded = true;
            return true;
        }
        const int frame =
            index >= 0 && index < m_index.packetCount() ? m_index.frameOfPacket(index) : -1;
        m_packet->pts = frame >= 0 ? frame : AV_NOPTS_VALUE;
        m_packet->dts = AV_NOPTS_VALUE;
        m_nextPacket = std::max(m_nextPacket, index + 1);
    }
    const int ret = avcodec_send_packet(m_codec, m_packet);
    m_pending = ret == AVERROR(EAGAIN);
    if (!m_pending)
        av_packet_unref(m_packet); // damaged packets are dropped; decoding goes on
    return true;
}

void StreamDecoder::receiveAll(const Sink &sink, int n, FramePtr *hit) {
    while (!*hit) {
        const int ret = avcodec_receive_frame(m_codec, m_frame);
        if (ret == AVERROR_EOF) {
            m_drained = true;
            return;
        }
        if (ret < 0)
            return;
        const std::int64_t pts = m_frame->pts;
        if (pts == AV_NOPTS_VALUE || pts < m_acceptFrom || pts >= m_index.frameCount()) {
            av_frame_unref(m_frame);
            continue;
        }
        const int number = static_cast<int>(pts);
        if (m_index.packet(m_index.packetOfFrame(number)).corrupt ||
            (m_frame->flags & AV_FRAME_FLAG_CORRUPT)) {
            // A damaged picture is not passed off as the frame: asking for it gives nothing.
            av_frame_unref(m_frame);
            m_lastOut = std::max(m_lastOut, number);
            if (number == n)
                m_refused = true;
            continue;
        }
        FramePtr frame = adoptFrame(m_frame);
        if (!frame)
            return;
        if (m_firstOut < 0)
            m_firstOut = number;
        m_lastOut = std::max(m_lastOut, number);
        if (sink)
            sink(number, frame);
        if (number == n)
            *hit = frame;
    }
}

FramePtr StreamDecoder::runTo(int n, const Sink &sink) {
    FramePtr hit;
    const int targetPacket = m_index.packetOfFrame(n);
    m_refused = false;
    while (true) {
        receiveAll(sink, n, &hit);
        if (hit || m_drained || m_refused)
            return hit;
        // Frames come out in presentation order: once a later one is out and the target's
        // packet went in, the target is lost (a damaged packet).
        if (m_lastOut > n && targetPacket < m_nextPacket && !m_pending)
            return {};
        if (!sendNext())
            return {};
    }
}

FramePtr StreamDecoder::decode(int n, const Sink &sink) {
    if (n < 0 || n >= frameCount() || !m_codec || !m_format)
        return {};
    int key = m_index.keyframeFor(n);
    bool proceed =
        m_running && !m_drained && n > m_lastOut && n >= m_acceptFrom && key <= m_nextPacket;
    for (int attempt = 0; attempt <= kRetriesEarlier; ++attempt) {
        if (!proceed) {
            if (!restartAt(key))
                return {};
            m_acceptFrom = key == 0 ? 0 : std::min(m_index.frameOfPacket(key), n);
        }
        proceed = false;
        if (FramePtr frame = runTo(n, sink))
            return frame;
        if (m_refused)
            return {};
        // An open GOP: the target came before the first frame out. Start one keyframe
        // earlier, where its references are decoded too.
        if (m_firstOut >= 0 && m_firstOut <= n)
            break;
        if (key == 0)
            break;
        key = std::max(0, m_index.previousKeyframe(key));
    }
    m_running = false;
    return {};
}

} // namespace aviplayer
