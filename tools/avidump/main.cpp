// avidump: one line per frame of a video as the AVI player delivers it, ending in the MD5
// of the frame's pixels. With --native the digest is taken over the decoded picture in the
// decoder's own pixel format, so the lines can be compared with `ffmpeg -f framemd5`.
#include "components/aviplayer/aviplayer.h"
#include "components/aviplayer/framehash.h"

#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
}

namespace {

const char *const kUsage = "usage: avidump FILE [--mode N] [--native | --pix-fmt rgb24|gray] "
                           "[--frames LIST] [--png N OUT.png] [--progress]";

bool parseInt(const char *text, long long *out) {
    if (!text || !*text)
        return false;
    char *end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (*end)
        return false;
    *out = v;
    return true;
}

bool parseList(const std::string &text, std::vector<int> *out) {
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = text.find(',', start);
        const std::string item =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        long long v = 0;
        if (!parseInt(item.c_str(), &v) || v < INT32_MIN || v > INT32_MAX)
            return false;
        out->push_back(static_cast<int>(v));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return !out->empty();
}

int fail(const std::string &message, int code) {
    std::fprintf(stderr, "avidump: %s\n", message.c_str());
    return code;
}

} // namespace

int main(int argc, char **argv) {
    av_log_set_level(AV_LOG_QUIET);
    std::string file, pixFmt = "bgra", pngOut;
    long long mode = 0, pngFrame = -1;
    bool native = false, haveList = false, watching = false;
    std::vector<int> list;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool more = i + 1 < argc;
        if (arg == "--mode" && more) {
            if (!parseInt(argv[++i], &mode) || mode < INT32_MIN || mode > INT32_MAX)
                return fail("bad --mode value", 2);
        } else if (arg == "--native") {
            native = true;
        } else if (arg == "--progress") {
            watching = true;
        } else if (arg == "--pix-fmt" && more) {
            pixFmt = argv[++i];
            if (pixFmt != "rgb24" && pixFmt != "gray" && pixFmt != "bgra")
                return fail("--pix-fmt takes rgb24 or gray", 2);
        } else if (arg == "--frames" && more) {
            haveList = true;
            if (!parseList(argv[++i], &list))
                return fail("bad --frames list", 2);
        } else if (arg == "--png" && i + 2 < argc) {
            if (!parseInt(argv[++i], &pngFrame))
                return fail("bad --png frame", 2);
            pngOut = argv[++i];
        } else if (file.empty() && (arg.empty() || arg[0] != '-')) {
            file = arg;
        } else {
            return fail(kUsage, 2);
        }
    }
    if (file.empty())
        return fail(kUsage, 2);

    aviplayer::ReaderSettings settings;
    settings.readAhead = haveList ? 0 : 8;
    aviplayer::AviPlayer player(settings);
    // Indexing a long file takes a while: --progress shows how far it got on stderr.
    int shown = -1;
    const aviplayer::ProgressFn progress = [&](double done) {
        const int percent = static_cast<int>(done * 100.0);
        if (watching && percent / 5 != shown / 5) {
            shown = percent;
            std::fprintf(stderr, "\rindexing %3d %%", percent);
        }
        return true;
    };
    const auto opened = player.open(file, static_cast<platform::LONG>(mode), progress);
    if (watching && shown >= 0)
        std::fprintf(stderr, "\r              \r");
    if (opened != aviplayer::kOpenOk)
        return fail("cannot open " + file + ": " + player.lastError(), 1);
    const auto parsed = aviplayer::OpenMode::parse(static_cast<platform::LONG>(mode));
    if (native && parsed && (parsed->layout != 0 || parsed->rotation != 0 || parsed->flip))
        return fail("--native needs an open mode without layout, rotation or flip", 2);

    const int count = player.frameCount();
    if (!haveList)
        for (int n = 0; n < count; ++n)
            list.push_back(n);

    int status = 0;
    for (int n : list) {
        std::string line;
        if (native) {
            const aviplayer::FramePtr frame = player.sourceFrame(n);
            if (frame) {
                const char *name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(frame->format));
                line = std::to_string(n) + "," + std::to_string(frame->width) + "x" +
                       std::to_string(frame->height) + "," + (name ? name : "?") + "," +
                       std::to_string(aviplayer::nativeSize(*frame)) + "," +
                       aviplayer::nativeMd5(*frame);
            }
        } else if (const auto img = player.image(n)) {
            std::string md5;
            int size = 0;
            if (pixFmt == "gray") {
                const auto luma = img->lumaView();
                md5 = luma ? aviplayer::imageMd5(*luma, {0}) : std::string();
                if (!luma) {
                    // No luma plane in the source: the grey of the display pixels.
                    auto pic = platform::wrapPicture(img->image(), img);
                    md5 = aviplayer::imageMd5(pic->luma(), {0});
                }
                size = img->width * img->height;
            } else if (pixFmt == "rgb24") {
                md5 = aviplayer::imageMd5(img->image(), {2, 1, 0});
                size = img->width * img->height * 3;
            } else {
                md5 = aviplayer::imageMd5(img->image(), {0, 1, 2, 3});
                size = img->width * img->height * 4;
            }
            line = std::to_string(n) + "," + std::to_string(img->width) + "x" +
                   std::to_string(img->height) + "," + pixFmt + "," + std::to_string(size) + "," +
                   md5;
        }
        if (line.empty()) {
            std::fprintf(stderr, "avidump: frame %d is not available\n", n);
            status = 1;
            continue;
        }
        std::printf("%s\n", line.c_str());
    }

    if (pngFrame >= 0 || !pngOut.empty()) {
        const auto img = pngFrame <= INT32_MAX ? player.image(static_cast<int>(pngFrame)) : nullptr;
        if (!img)
            return fail("frame " + std::to_string(pngFrame) + " is not available for --png", 1);
        const QImage q(img->bgra.data(), img->width, img->height, img->bgraStride,
                       QImage::Format_RGB32);
        if (!q.save(QString::fromStdString(pngOut), "PNG"))
            return fail("cannot write " + pngOut, 1);
    }
    return status;
}
