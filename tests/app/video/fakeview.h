// A video view without a control, for the logic that needs nothing of a real view: a video
// of a set size, frame count and rate opens under any name; frame, zoom and offsets are kept
// as they are put.
#pragma once

#include "fakehost.h"

#include "app/video/videoview.h"

#include <string>

class FakeView : public video::VideoView {
public:
    struct Video {
        int width = 0;
        int height = 0;
        int frames = 0;
        float rate = 0.0f;
    };

    int AVIOpen(const std::string &name, int /*mode*/) override {
        m_name = name;
        m_video = next;
        m_frame = 0;
        return 0;
    }
    void AVIClose() override {
        m_name.clear();
        m_video = {};
        m_frame = 0;
    }
    std::string AVIFilename() const override { return m_name; }
    int AVIWidth() const override { return m_video.width; }
    int AVIHeight() const override { return m_video.height; }
    int AVINumberOfFrames() const override { return m_video.frames; }
    float AVIFrameRate() const override {
        if (m_video.frames == 0)
            return 0.0f;
        return m_forcedRate > 0.0f ? m_forcedRate : m_video.rate;
    }
    float FrameRateForced() const override { return m_forcedRate; }
    void SetFrameRateForced(float rate) override { m_forcedRate = rate; }
    int AVIFrame() const override { return m_frame; }
    void SetAVIFrame(int frame) override { m_frame = frame; }
    int Zoom() const override { return m_zoom; }
    void SetZoom(int zoom) override { m_zoom = zoom; }
    int HorizontalOffset() const override { return m_hOffset; }
    void SetHorizontalOffset(int offset) override { m_hOffset = offset; }
    int VerticalOffset() const override { return m_vOffset; }
    void SetVerticalOffset(int offset) override { m_vOffset = offset; }
    int viewWidth() const override { return m_width; }
    int viewHeight() const override { return m_height; }
    void Refresh() override {}
    void holdRepaints() override { ++holds; }
    void releaseRepaints() override { --holds; }
    void setMessageBoxesEnabled(bool) override {}

    void resize(int width, int height) {
        m_width = width;
        m_height = height;
    }

    // What the next open shows.
    Video next;
    // Repaint holds not yet released.
    int holds = 0;

private:
    std::string m_name;
    Video m_video;
    float m_forcedRate = 0.0f;
    int m_frame = 0;
    int m_zoom = 100;
    int m_hOffset = 0;
    int m_vOffset = 0;
    int m_width = 0;
    int m_height = 0;
};

// A host whose views are fakes.
class FakeViewHost : public RecordingHost {
public:
    FakeViewHost() { view.resize(720, 576); }

    video::VideoView &workingView() override { return view; }
    video::VideoView &helperView() override { return helper; }

    FakeView view;
    FakeView helper;
};
