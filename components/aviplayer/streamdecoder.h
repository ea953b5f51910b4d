// Frame-accurate decoding of the first video stream of a container file through FFmpeg.
#pragma once

#include "components/aviplayer/frameindex.h"
#include "components/aviplayer/framesource.h"

#include <atomic>
#include <memory>

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;

namespace aviplayer {

class StreamDecoder final : public FrameSource {
public:
    StreamDecoder();
    ~StreamDecoder() override;
    StreamDecoder(const StreamDecoder &) = delete;
    StreamDecoder &operator=(const StreamDecoder &) = delete;

    // Opens and indexes the file; `threads` 0 lets FFmpeg choose. False with a message in
    // `error` for anything that is not a decodable video.
    bool open(const std::string &path, int threads, const ProgressFn &progress, std::string *error);

    int frameCount() const override { return m_index.frameCount(); }
    double frameRate() const override { return m_rate; }
    FieldOrder fieldOrder() const override { return m_fieldOrder; }
    bool independentFrames() const override;
    FramePtr decode(int n, const Sink &sink) override;

    const FrameIndex &index() const { return m_index; }
    // Number of seeks made so far (for tests of the access pattern).
    int seekCount() const { return m_seeks; }
    // Whole-file index scans made by all decoders of the process (for tests of the cache).
    static long indexScans() { return s_indexScans.load(); }

private:
    bool openInput();
    bool openDecoder(int threads);
    bool buildIndex(const ProgressFn &progress);
    bool learnOrder();
    bool restartAt(int keyPacket);
    // Feeds packets until frame n is out or the stream ends; null when it never comes.
    FramePtr runTo(int n, const Sink &sink);
    bool sendNext();
    bool readOwnPacket(int *decodeIndex);
    void receiveAll(const Sink &sink, int n, FramePtr *hit);

    std::string m_path;
    AVFormatContext *m_format = nullptr;
    AVCodecContext *m_codec = nullptr;
    AVPacket *m_packet = nullptr;
    AVFrame *m_frame = nullptr;
    int m_stream = -1;
    int m_threads = 0;
    FrameIndex m_index;
    double m_rate = 25.0;
    FieldOrder m_fieldOrder = FieldOrder::Unknown;

    // Decoder state. Frames are accepted only from the start keyframe's own frame on:
    // earlier ones (leading pictures of an open GOP) lack their references.
    bool m_running = false;
    bool m_drained = false;
    int m_startPacket = -1;
    int m_acceptFrom = 0;
    int m_nextPacket = 0; // decode index of the next packet to send
    int m_lastOut = -1;   // highest frame number decoded since the restart
    int m_firstOut = -1;  // first frame accepted since the restart
    bool m_inputEnded = false;
    bool m_refused = false;      // the frame asked for came out damaged
    bool m_pending = false;      // m_packet was refused (EAGAIN) and must be sent again
    bool m_reachedStart = false; // the start keyframe has been read since the restart
    bool m_rewound = false;
    int m_readCount = 0; // packets of the stream read since the last (re)open
    int m_seeks = 0;
    static std::atomic<long> s_indexScans;
};

} // namespace aviplayer
