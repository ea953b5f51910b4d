#include "app/markers/markerobjects.h"

#include "app/project/projectdata.h"
#include "components/datalib/datalib.h"
#include "platform/classes.h"

namespace markers {

using platform::ComPtr;
using platform::LONG;

LONG typeTag(const char (&code)[5]) {
    platform::ULONG tag = 0;
    for (int i = 3; i >= 0; --i)
        tag = (tag << 8) | static_cast<unsigned char>(code[i]);
    return static_cast<LONG>(tag);
}

ComPtr<engines::IPatternMatcher> createPatternMatcher(platform::LCID lcid) {
    engines::registerClasses();
    auto engine = platform::createInstance<engines::IPatternMatcher>(engines::CLSID_PatternMatcher);
    if (engine)
        engine->Init(engines::kInteractive, lcid);
    return engine;
}

ComPtr<engines::IMarkerTracker> createMarkerTracker(platform::LCID lcid) {
    engines::registerClasses();
    auto engine = platform::createInstance<engines::IMarkerTracker>(engines::CLSID_MarkerTracker);
    if (engine)
        engine->Init(engines::kInteractive, lcid);
    return engine;
}

ComPtr<datalib::TalvorGraphicItems> createGraphicItems() {
    datalib::registerClasses();
    return platform::createInstance<datalib::TalvorGraphicItems>(datalib::CLSID_GraphicItems);
}

void createDataSets(MarkerObjects &objects) {
    struct DataSetName {
        const char *name;
        const char (&code)[5];
    };
    static const DataSetName kSets[kDataSetCount] = {{"Rohdaten", "RAW "},
                                                     {"Rotation", "PMRO"},
                                                     {"Restdaten", "PMD0"},
                                                     {"Restdaten", "PMD1"},
                                                     {"Restdaten", "PMD2"}};
    static_assert(project::kDataSetComponents.size() == kDataSetCount);
    datalib::registerClasses();
    objects.dataFactory =
        platform::createInstance<datalib::TalvorDataFactory>(datalib::CLSID_DataFactory);
    for (std::size_t i = 0; i < objects.dataSets.size(); ++i) {
        objects.dataSets[i] = nullptr;
        datalib::TalvorDatas *raw = nullptr;
        if (!objects.dataFactory || platform::failed(objects.dataFactory->CreateDatas(-1, &raw)) ||
            !raw)
            continue;
        auto datas = ComPtr<datalib::TalvorDatas>::attach(raw);
        datas->SetName(kSets[i].name);
        datas->SetTypeTag(typeTag(kSets[i].code));
        datas->SetComponentCount(project::kDataSetComponents[i]);
        objects.dataSets[i] = datas;
    }
}

} // namespace markers
