// A controller on a host with fresh shared state and English texts: `VideoFixture` with the
// real view controls, `FakeViewFixture` with views without a control.
#pragma once

#include "fakehost.h"
#include "fakeview.h"

#include "app/common/appstate.h"

#include <gtest/gtest.h>
#include <memory>

template <class Host> class HostFixture : public ::testing::Test {
protected:
    void SetUp() override {
        common::resetAppState();
        common::appState().TextBase = 4000;
        state.TextBase = 4000;
        controller = std::make_unique<video::VideoController>(host, state);
        host.controller = controller.get();
        controller->playback.setDecimalSeparator(QStringLiteral("."));
    }
    void TearDown() override {
        host.controller = nullptr;
        common::resetAppState();
    }
    // Opens a file without the dialog, as start-up does.
    void open(const QString &file, int mode = 0, float rate = 0.0f, int count = 0) {
        state.VideoFile = file;
        controller->loader.LoadVideo(false, mode, rate, count);
    }
    video::Playback &playback() { return controller->playback; }
    video::VideoModes &modes() { return controller->modes; }
    video::VideoLoader &loader() { return controller->loader; }

    Host host;
    common::AppState state;
    std::unique_ptr<video::VideoController> controller;
};

using VideoFixture = HostFixture<FakeHost>;
using FakeViewFixture = HostFixture<FakeViewHost>;
