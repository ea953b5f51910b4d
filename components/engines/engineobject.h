// What both engines share at the engine level: the user's default settings (read when the
// engine is created, written on every change), the start mode and language, and one
// marker context per marker number. The engines differ only in their Policy: which settings,
// how they are stored and edited, and what is kept out of the user's defaults.
#pragma once

#include "components/engines/engines.h"
#include "components/engines/settingseditor.h"
#include "platform/com.h"
#include "platform/registry.h"

#include <map>
#include <memory>
#include <utility>

namespace engines {

// A marker's context: the marker number and its frame contexts (view kMainView only).
template <class ContextInterface, class FrameInterface, class Marker, class Frame>
class MarkerContextObject final : public platform::ComObject<ContextInterface> {
public:
    explicit MarkerContextObject(std::shared_ptr<Marker> marker) : m_marker(std::move(marker)) {}

    platform::HRESULT FrameContext(platform::LONG view, platform::LONG frame,
                                   FrameInterface **context) override {
        if (!context)
            return platform::E_POINTER;
        *context = nullptr;
        if (view != kMainView || frame < 0)
            return platform::E_INVALIDARG;
        *context = new Frame(m_marker, frame);
        return platform::S_OK;
    }

    platform::HRESULT Number(platform::LONG *number) override {
        if (!number)
            return platform::E_POINTER;
        *number = m_marker->number;
        return platform::S_OK;
    }

private:
    std::shared_ptr<Marker> m_marker;
};

template <class SettingsValues> struct EngineShared {
    SettingsValues defaults;
    platform::LCID lcid = 1033;
    platform::LONG mode = 0;
};

// Interface: the engine interface; ContextInterface: its marker-context interface; Marker:
// the per-marker state (with `number` and `shared`); Context: the marker-context object made
// from a shared_ptr<Marker>.
template <class Interface, class ContextInterface, class Marker, class Context, class Policy>
class EngineObject : public platform::ComObject<Interface> {
public:
    using SettingsValues = typename Policy::SettingsValues;
    using Shared = EngineShared<SettingsValues>;

    EngineObject() : m_shared(std::make_shared<Shared>()) {
        m_shared->defaults = Policy::load(platform::RegistryStore());
    }

    platform::HRESULT Init(platform::LONG mode, platform::LCID lcid) override {
        if (mode != 0 && mode != kInteractive)
            return platform::E_INVALIDARG;
        m_shared->mode = mode;
        m_shared->lcid = lcid;
        return platform::S_OK;
    }

    platform::HRESULT MarkerContext(platform::LONG marker, ContextInterface **context) override {
        if (!context)
            return platform::E_POINTER;
        auto &slot = m_markers[marker];
        if (!slot) {
            slot = std::make_shared<Marker>();
            slot->number = marker;
            slot->shared = m_shared;
        }
        *context = new Context(slot);
        return platform::S_OK;
    }

    platform::HRESULT DropMarkerContext(platform::LONG marker) override {
        return m_markers.erase(marker) ? platform::S_OK : platform::S_FALSE;
    }

    platform::HRESULT Settings() override {
        if (m_shared->mode != kInteractive)
            return E_NO_USER;
        SettingsEditor *editor = settingsEditor();
        if (!editor)
            return platform::E_NOTIMPL;
        SettingsValues s = m_shared->defaults;
        if (!Policy::edit(*editor, s, m_shared->lcid))
            return platform::S_FALSE;
        return store(s);
    }

    platform::HRESULT Setting(platform::LONG id, double *value) override {
        if (!value)
            return platform::E_POINTER;
        const auto v = m_shared->defaults.get(id);
        if (!v)
            return platform::E_INVALIDARG;
        *value = *v;
        return platform::S_OK;
    }

    platform::HRESULT PutSetting(platform::LONG id, double value) override {
        SettingsValues s = m_shared->defaults;
        if (!s.put(id, value))
            return platform::E_INVALIDARG;
        return store(s);
    }

protected:
    platform::HRESULT store(SettingsValues s) {
        Policy::toUserDefaults(s);
        m_shared->defaults = s;
        platform::RegistryStore registry;
        return Policy::save(registry, s) ? platform::S_OK : platform::STG_E_WRITEFAULT;
    }

    std::shared_ptr<Shared> m_shared;
    std::map<platform::LONG, std::shared_ptr<Marker>> m_markers;
};

} // namespace engines
