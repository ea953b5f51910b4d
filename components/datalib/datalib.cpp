#include "components/datalib/datalib.h"
#include "components/datalib/angles.h"
#include "components/datalib/calibration2d.h"
#include "components/datalib/calibration3d.h"
#include "components/datalib/datachannel.h"
#include "components/datalib/dataset.h"
#include "components/datalib/distances.h"
#include "components/datalib/graphicitems.h"
#include "components/datalib/pointlayout.h"
#include "components/datalib/projection.h"

#include "platform/classes.h"

#include <vector>

namespace datalib {

using platform::ComPtr;
using platform::E_INVALIDARG;
using platform::E_POINTER;

namespace {

class DataFactory final : public ComObject<TalvorDataFactory> {
public:
    HRESULT CreateDatas(LONG kind, TalvorDatas **datas) override {
        if (!datas)
            return E_POINTER;
        *datas = nullptr;
        if (kind != -1)
            return E_INVALIDARG;
        *datas = new DataSet;
        return platform::S_OK;
    }
    HRESULT CreateChannel(LONG kind, LONG options, TalvorChannel **channel) override {
        if (!channel)
            return E_POINTER;
        *channel = nullptr;
        if (kind != 0 || options != 0)
            return E_INVALIDARG;
        *channel = new DataChannel;
        return platform::S_OK;
    }
};

class CalFactory final : public ComObject<TalvorCalFactory> {
public:
    HRESULT CreateCal2D(TalvorCal2D **calibration) override {
        if (!calibration)
            return E_POINTER;
        *calibration = new Calibration2D;
        return platform::S_OK;
    }
};

template <class T> ComPtr<platform::IUnknown> asUnknown(T *created) {
    return ComPtr<platform::IUnknown>::attach(created);
}

} // namespace

ComPtr<TalvorDataFactory> createDataFactory() {
    return ComPtr<TalvorDataFactory>::attach(new DataFactory);
}

ComPtr<TalvorGraphicItems> createGraphicItems() {
    return ComPtr<TalvorGraphicItems>::attach(new GraphicItems);
}

ComPtr<TalvorCalFactory> createCalFactory() {
    return ComPtr<TalvorCalFactory>::attach(new CalFactory);
}

ComPtr<TalvorSpec> createPointLayout() {
    return ComPtr<TalvorSpec>::attach(new PointLayout);
}

ComPtr<TalvorCal3D> createCal3D() {
    return ComPtr<TalvorCal3D>::attach(new Calibration3D);
}

ComPtr<TalvorProjection> createProjection() {
    return ComPtr<TalvorProjection>::attach(new Projection);
}

ComPtr<TalvorAngles> createAngles() {
    return ComPtr<TalvorAngles>::attach(new Angles);
}

ComPtr<TalvorDistances> createDistances() {
    return ComPtr<TalvorDistances>::attach(new Distances);
}

HRESULT addMarkerChannels(TalvorDataFactory &factory, TalvorDatas &data, LONG marker,
                          LONG firstFrame, LONG length) {
    LONG components = 0;
    if (const HRESULT hr = data.GetComponentCount(&components); platform::failed(hr))
        return hr;
    std::vector<ComPtr<TalvorChannel>> owned;
    std::vector<TalvorChannel *> channels;
    for (LONG c = 0; c < components; ++c) {
        TalvorChannel *raw = nullptr;
        if (const HRESULT hr = factory.CreateChannel(0, 0, &raw); platform::failed(hr))
            return hr;
        owned.push_back(ComPtr<TalvorChannel>::attach(raw));
        raw->SetMarkerNumber(marker);
        raw->SetFirstFrame(firstFrame);
        if (const HRESULT hr = raw->SetLength(length); platform::failed(hr))
            return hr;
        channels.push_back(raw);
    }
    return data.Add(channels.data(), components);
}

void registerClasses() {
    platform::registerClass(CLSID_DataFactory, [] { return asUnknown(new DataFactory); });
    platform::registerClass(CLSID_GraphicItems, [] { return asUnknown(new GraphicItems); });
    platform::registerClass(CLSID_CalFactory, [] { return asUnknown(new CalFactory); });
    platform::registerClass(CLSID_PointLayout, [] { return asUnknown(new PointLayout); });
    platform::registerClass(CLSID_Cal3D, [] { return asUnknown(new Calibration3D); });
    platform::registerClass(CLSID_Projection, [] { return asUnknown(new Projection); });
    platform::registerClass(CLSID_Angles, [] { return asUnknown(new Angles); });
    platform::registerClass(CLSID_Distances, [] { return asUnknown(new Distances); });
}

} // namespace datalib
