// Camera information headers from arbitrary bytes: parsing never fails or reads out of
// bounds, and what it reports is consistent (a value only under a key that was found, a
// usable rate always one the view can force).
#include "app/video/cihimport.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const video::CihHeader h = video::CihImport::parse(bytes);
    using K = video::CihHeader;
    if (h.found > 0xFFu)
        __builtin_trap();
    if ((h.recordRate && !h.has(K::RecordRate)) || (h.totalFrames && !h.has(K::TotalFrame)) ||
        (h.startFrame && !h.has(K::StartFrame)) ||
        (h.originalTotalFrames && !h.has(K::OriginalTotalFrame)) ||
        (h.width && !h.has(K::ImageWidth)) || (h.height && !h.has(K::ImageHeight)) ||
        (h.format != video::CihFormat::Unknown && !h.has(K::FileFormat)))
        __builtin_trap();
    if (const std::optional<float> rate = h.usableRate())
        if (!(*rate > 0.0f) || *rate > video::CihImport::kMaxRecordRate)
            __builtin_trap();
    return 0;
}
