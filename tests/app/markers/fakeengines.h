// Tracking engines for tests: every call is logged in order, and each (marker, frame) is
// answered from a script: found at a point with a size, or lost.
#pragma once

#include "components/engines/engines.h"

#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <optional>
#include <utility>

namespace fake {

struct Answer {
    double x = 0, y = 0, angle = 0;
    double size = 20; // pattern side or marker diameter
};

// Shared by an engine and the contexts it hands out.
struct Script {
    QStringList log;
    std::map<std::pair<platform::LONG, int>, std::optional<Answer>> answers;
    // Teaching calls, in order: "marker frame x y size".
    QStringList taught;
    double patternSize = 32;
    bool teachFails = false;
    // A frame context's own settings: 0 the reference mode, 8 the reference frame.
    std::map<platform::LONG, double> localSettings;

    std::optional<Answer> answer(platform::LONG marker, int frame) const {
        const auto it = answers.find({marker, frame});
        return it == answers.end() ? std::nullopt : it->second;
    }
};

using platform::HRESULT;
using platform::LONG;
using platform::S_OK;

class PatternFrame final : public platform::ComObject<engines::IPatternFrameContext> {
public:
    PatternFrame(std::shared_ptr<Script> s, LONG marker, int frame)
        : m_s(std::move(s)), m_marker(marker), m_frame(frame) {}
    HRESULT Search(platform::IPicture *picture, LONG frame, LONG view) override {
        m_s->log << QStringLiteral("Search %1 %2 %3").arg(frame).arg(view).arg(picture ? 1 : 0);
        return m_s->answer(m_marker, m_frame) ? S_OK : engines::E_MARKER_LOST;
    }
    HRESULT Result(LONG index, double *value) override {
        m_s->log << QStringLiteral("Result %1").arg(index);
        const auto a = m_s->answer(m_marker, m_frame);
        if (!a)
            return engines::E_MARKER_LOST;
        *value = index == 0 ? a->x : index == 1 ? a->y : a->angle;
        return S_OK;
    }
    HRESULT SymbolSize(LONG *size) override {
        m_s->log << QStringLiteral("SymbolSize");
        const auto a = m_s->answer(m_marker, m_frame);
        *size = a ? static_cast<LONG>(a->size) : 0;
        return S_OK;
    }
    HRESULT SetPicture(platform::IPicture *) override {
        m_s->log << QStringLiteral("SetPicture");
        return S_OK;
    }
    HRESULT SetPoint(double x, double y, LONG size) override {
        m_s->log << QStringLiteral("SetPoint");
        m_s->taught
            << QStringLiteral("%1 %2 %3 %4 %5").arg(m_marker).arg(m_frame).arg(x).arg(y).arg(size);
        return m_s->teachFails ? platform::E_INVALIDARG : S_OK;
    }
    HRESULT Teach(platform::IPicture *, double x, double y, double, LONG size) override {
        m_s->log << QStringLiteral("Teach");
        m_s->taught
            << QStringLiteral("%1 %2 %3 %4 %5").arg(m_marker).arg(m_frame).arg(x).arg(y).arg(size);
        return S_OK;
    }
    HRESULT Learn(LONG code, LONG frame) override {
        m_s->log << QStringLiteral("Learn %1 %2").arg(code).arg(frame);
        return m_s->teachFails ? platform::E_INVALIDARG : S_OK;
    }
    HRESULT Setting(LONG id, double *value) override {
        const auto it = m_s->localSettings.find(id);
        *value = it == m_s->localSettings.end() ? 0 : it->second;
        return S_OK;
    }
    HRESULT PutSetting(LONG, double) override { return S_OK; }
    HRESULT SettingsDialog() override {
        m_s->log << QStringLiteral("SettingsDialog %1").arg(m_frame);
        return platform::S_FALSE; // cancelled: the teaching follows all the same
    }

private:
    std::shared_ptr<Script> m_s;
    LONG m_marker;
    int m_frame;
};

// A marker context of either engine: hands out its frame contexts and its number.
template <class Interface, class FrameInterface, class Frame>
class MarkerContextOf final : public platform::ComObject<Interface> {
public:
    MarkerContextOf(std::shared_ptr<Script> s, LONG marker) : m_s(std::move(s)), m_marker(marker) {}
    HRESULT FrameContext(LONG view, LONG frame, FrameInterface **context) override {
        m_s->log << QStringLiteral("FrameContext %1 %2").arg(view).arg(frame);
        *context = new Frame(m_s, m_marker, frame);
        return S_OK;
    }
    HRESULT Number(LONG *number) override {
        m_s->log << QStringLiteral("Number");
        *number = m_marker;
        return S_OK;
    }

private:
    std::shared_ptr<Script> m_s;
    LONG m_marker;
};

using PatternMarker =
    MarkerContextOf<engines::IPatternMarkerContext, engines::IPatternFrameContext, PatternFrame>;

class PatternMatcher final : public platform::ComObject<engines::IPatternMatcher> {
public:
    explicit PatternMatcher(std::shared_ptr<Script> s) : m_s(std::move(s)) {}
    HRESULT Init(LONG, platform::LCID) override { return S_OK; }
    HRESULT Prepare() override {
        m_s->log << QStringLiteral("Prepare");
        return S_OK;
    }
    HRESULT MarkerContext(LONG marker, engines::IPatternMarkerContext **context) override {
        m_s->log << QStringLiteral("MarkerContext %1").arg(marker);
        *context = new PatternMarker(m_s, marker);
        return S_OK;
    }
    HRESULT DropMarkerContext(LONG marker) override {
        m_s->log << QStringLiteral("Drop %1").arg(marker);
        return S_OK;
    }
    HRESULT Settings() override { return S_OK; }
    HRESULT Setting(LONG id, double *value) override {
        *value = id == engines::PatternSize ? m_s->patternSize : 0;
        return S_OK;
    }
    HRESULT PutSetting(LONG, double) override { return S_OK; }

private:
    std::shared_ptr<Script> m_s;
};

class MarkerFrame final : public platform::ComObject<engines::IMarkerFrameContext> {
public:
    MarkerFrame(std::shared_ptr<Script> s, LONG marker, int frame)
        : m_s(std::move(s)), m_marker(marker), m_frame(frame) {}
    HRESULT SetPicture(platform::IPicture *) override {
        m_s->log << QStringLiteral("SetPicture");
        return S_OK;
    }
    HRESULT SetPoint(double x, double y, LONG radius) override {
        m_s->log << QStringLiteral("SetPoint");
        m_s->taught << QStringLiteral("%1 %2 %3 %4 %5")
                           .arg(m_marker)
                           .arg(m_frame)
                           .arg(x)
                           .arg(y)
                           .arg(radius);
        if (m_s->teachFails)
            return platform::E_INVALIDARG;
        m_s->answers[{m_marker, m_frame}] = Answer{x + 0.25, y - 0.25, 0, 2.0 * radius + 1};
        return S_OK;
    }
    HRESULT Locate(engines::IMarkerFrameContext *twoBack, engines::IMarkerFrameContext *oneBack,
                   LONG view, LONG *status) override {
        m_s->log << QStringLiteral("Locate %1 %2 %3")
                        .arg(twoBack ? QStringLiteral("two") : QStringLiteral("none"))
                        .arg(oneBack ? QStringLiteral("one") : QStringLiteral("none"))
                        .arg(view);
        *status = m_s->answer(m_marker, m_frame) ? 1 : 0;
        return S_OK;
    }
    HRESULT Value(LONG id, platform::Variant *value) override {
        m_s->log << QStringLiteral("Value %1").arg(id);
        const auto a = m_s->answer(m_marker, m_frame);
        if (!a)
            return engines::E_MARKER_LOST;
        *value = platform::Variant(id == engines::MarkerX   ? a->x
                                   : id == engines::MarkerY ? a->y
                                                            : a->size);
        return S_OK;
    }
    HRESULT SettingsDialog(LONG view) override {
        m_s->log << QStringLiteral("SettingsDialog %1 %2").arg(m_frame).arg(view);
        return S_OK;
    }
    HRESULT Setting(LONG, double *value) override {
        *value = 0;
        return S_OK;
    }
    HRESULT PutSetting(LONG, double) override { return S_OK; }

private:
    std::shared_ptr<Script> m_s;
    LONG m_marker;
    int m_frame;
};

using MarkerMarker =
    MarkerContextOf<engines::IMarkerMarkerContext, engines::IMarkerFrameContext, MarkerFrame>;

class MarkerTracker final : public platform::ComObject<engines::IMarkerTracker> {
public:
    explicit MarkerTracker(std::shared_ptr<Script> s) : m_s(std::move(s)) {}
    HRESULT Init(LONG, platform::LCID) override { return S_OK; }
    HRESULT MarkerContext(LONG marker, engines::IMarkerMarkerContext **context) override {
        m_s->log << QStringLiteral("MarkerContext %1").arg(marker);
        *context = new MarkerMarker(m_s, marker);
        return S_OK;
    }
    HRESULT DropMarkerContext(LONG marker) override {
        m_s->log << QStringLiteral("Drop %1").arg(marker);
        return S_OK;
    }
    HRESULT Settings() override { return S_OK; }
    HRESULT Setting(LONG, double *value) override {
        *value = 0;
        return S_OK;
    }
    HRESULT PutSetting(LONG, double) override { return S_OK; }

private:
    std::shared_ptr<Script> m_s;
};

} // namespace fake
